#include "rescuepath.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <sys/resource.h>

namespace {
// Peak resident memory of this process so far, in MB.
long peakMemoryMb()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss / 1024;
}
} // namespace

// Replays every input kept in tests/fuzz/regressions/ (inputs that once broke
// the rescue path, and the geometry extremes) through the fuzz target's path,
// without libFuzzer: each must load, convert and write inside its folder.
class TestFuzzRegressions : public QObject
{
    Q_OBJECT

    QTemporaryDir scratch;

private slots:
    void initTestCase() { QVERIFY(scratch.isValid()); }

    // 64 catalog files sharing one chain of 65 extents: each file assembles
    // 4 MB. Holding every file's data until the conversion ends took 270 MB;
    // one file at a time stays small. First, while the peak is still low.
    void sharedExtentChainsStayWithinMemory()
    {
#if defined(__SANITIZE_ADDRESS__)
        QSKIP("AddressSanitizer keeps freed memory in quarantine");
#endif
        QFile file(QDir(QStringLiteral(MALVORE_REGRESSIONS_DIR)).filePath("shared-extent-chains.dsk"));
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray bytes = file.readAll();
        clearScratch(scratch.path());
        const long before = peakMemoryMb();
        const RescuePathResult result = runRescuePath(bytes, scratch.path());
        QVERIFY2(result.problem.isEmpty(), qPrintable(result.problem));
        QVERIFY(result.converted);
        QVERIFY2(peakMemoryMb() - before < 100, qPrintable(QString::number(peakMemoryMb() - before)));
    }

    void replay_data()
    {
        QTest::addColumn<QString>("path");
        const QDir folder(QStringLiteral(MALVORE_REGRESSIONS_DIR));
        const QStringList names = folder.entryList(QDir::Files | QDir::Hidden, QDir::Name);
        QVERIFY2(!names.isEmpty(), "no regression inputs found");
        for (const QString &name : names)
            QTest::newRow(qPrintable(name)) << folder.absoluteFilePath(name);
    }

    void replay()
    {
        QFETCH(QString, path);
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray bytes = file.readAll();

        clearScratch(scratch.path());
        QElapsedTimer timer;
        timer.start();
        const RescuePathResult result = runRescuePath(bytes, scratch.path());
        QVERIFY2(result.problem.isEmpty(), qPrintable(result.problem));
        // Every load logs at least its opening line and a verdict.
        QVERIFY(result.logLines >= 2);
        if (result.converted)
            QVERIFY(result.outputFiles >= 1);
        // Generous: the fuzzer's own limit per input is 20 s on a loaded machine.
        QVERIFY2(timer.elapsed() < 20000, qPrintable(QString::number(timer.elapsed())));
    }

    // The geometry extremes must load as what they claim, with bounded data.
    void extremesLoadWithBoundedData_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("accepted");
        QTest::newRow("255 tracks, 2 sides, DSK") << "extreme-255t2s.dsk" << true;
        QTest::newRow("255 tracks, 2 sides, EDSK") << "extreme-255t2s-ext.dsk" << true;
        QTest::newRow("510 table entries") << "extreme-ext-full-table.dsk" << true;
        QTest::newRow("255 sectors of N=255") << "extreme-255sectors-n255.dsk" << true;
    }

    void extremesLoadWithBoundedData()
    {
        QFETCH(QString, name);
        QFETCH(bool, accepted);
        QFile file(QDir(QStringLiteral(MALVORE_REGRESSIONS_DIR)).filePath(name));
        QVERIFY2(file.open(QIODevice::ReadOnly), qPrintable(file.fileName()));
        clearScratch(scratch.path());
        const RescuePathResult result = runRescuePath(file.readAll(), scratch.path());
        QVERIFY2(result.problem.isEmpty(), qPrintable(result.problem));
        QCOMPARE(result.accepted, accepted);
    }
};

QTEST_GUILESS_MAIN(TestFuzzRegressions)
#include "test_fuzz_regressions.moc"
