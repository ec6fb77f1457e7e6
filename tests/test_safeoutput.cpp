// Nothing rescued is lost or overwritten, and every failure says why:
// hostile catalog names, images of one name, links at output paths, a full
// file, duplicate sector ids, inputs that are not files, oversized tape
// blocks and control characters, seen as a user sees them (files on disk,
// log lines, exit status).
#include "batchtestutil.h"
#include "imagebuilder.h"
#include "rescuetestutil.h"

#include <QCoreApplication>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>

using namespace batchtest;

namespace {

tosdisk::File fileOf(const QByteArray &name, const QByteArray &extension, const QByteArray &contents)
{
    tosdisk::File file;
    file.name = name;
    file.extension = extension;
    file.contents = contents;
    return file;
}

QByteArray diskWith(const QVector<tosdisk::File> &files, int tracks = 40, int sides = 1)
{
    tosdisk::Disk disk;
    disk.tracks = tracks;
    disk.sides = sides;
    disk.files = files;
    return tosdisk::build(disk);
}

// Every file below root with its bytes, as one flat list of contents.
QList<QByteArray> contentsBelow(const QString &root)
{
    QList<QByteArray> contents;
    const QMap<QString, QByteArray> tree = treeOf(root);
    for (auto it = tree.cbegin(); it != tree.cend(); ++it)
        if (!it.key().endsWith(QLatin1Char('/')))
            contents << it.value();
    return contents;
}

// Lowers the largest file this process may write, as a full file system
// would stop a write; restored on destruction.
class FileSizeLimit
{
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        getrlimit(RLIMIT_FSIZE, &saved);
        std::signal(SIGXFSZ, SIG_IGN);
        rlimit lowered = saved;
        lowered.rlim_cur = bytes;
        active = setrlimit(RLIMIT_FSIZE, &lowered) == 0;
    }
    ~FileSizeLimit() { setrlimit(RLIMIT_FSIZE, &saved); }
    bool active = false;

private:
    rlimit saved{};
};

} // namespace

class TestSafeOutput : public QObject
{
    Q_OBJECT

    QTemporaryDir scratch;
    int runs = 0;

    QString folder(const QString &name)
    {
        const QString path = scratch.filePath(QStringLiteral("%1-%2").arg(name).arg(++runs));
        QDir().mkpath(path);
        return path;
    }

    QString image(const QString &dir, const QString &name, const QByteArray &bytes)
    {
        const QString path = dir + QLatin1Char('/') + name;
        QDir().mkpath(QFileInfo(path).absolutePath());
        if (!writeFile(path, bytes))
            qFatal("cannot write %s", qPrintable(path));
        return path;
    }

    InProcessRun rescue(const QStringList &images, const QString &output, LogFormat format = LogFormat::Plain)
    {
        BatchOptions options;
        options.images = images;
        options.outputRoot = output;
        options.logFormat = format;
        return runInProcess(options);
    }

private slots:
    void initTestCase() { QVERIFY(scratch.isValid()); }

    // Names whose mended paths coincide: every body lands in a file of its
    // own, and the log says where the later one went.
    void collidingNamesKeepEveryBody_data()
    {
        QTest::addColumn<QList<QByteArray>>("names");
        QTest::addColumn<QStringList>("paths"); // in the image folder, in catalog order
        QTest::newRow("slash and backslash") << QList<QByteArray>{"A/B", "A\\B", "Z"}
                                             << QStringList{"A_B.dat", "A_B~2.dat", "Z.dat"};
        QTest::newRow("parent folders") << QList<QByteArray>{"../x", "..\\x", "Z"}
                                        << QStringList{".._x.dat", ".._x~2.dat", "Z.dat"};
        QTest::newRow("leading blank") << QList<QByteArray>{" LEAD", "LEAD", "Z"}
                                       << QStringList{"LEAD.dat", "LEAD~2.dat", "Z.dat"};
        QTest::newRow("name and extension") << QList<QByteArray>{"N.E", "N", "Z"}
                                            << QStringList{"N.E.dat", "N.E~2.dat", "Z.dat"};
        QTest::newRow("suffix taken by a later name") << QList<QByteArray>{" A", "A", "A~2"}
                                                      << QStringList{"A.dat", "A~2.dat", "A~2~2.dat"};
    }

    void collidingNamesKeepEveryBody()
    {
        QFETCH(QList<QByteArray>, names);
        QFETCH(QStringList, paths);
        const QString dir = folder("names");
        QVector<tosdisk::File> files;
        QList<QByteArray> bodies;
        for (int i = 0; i < names.size(); ++i) {
            bodies << tosdisk::plainData(300 + 200 * i, quint32(i + 1));
            // "N" with extension "E" is written as "N.E" by the catalog.
            const bool split = names.at(i) == "N";
            files << fileOf(split ? "N" : names.at(i), split ? "E" : "", bodies.last());
        }
        const QString path = image(dir, "N.dsk", diskWith(files));
        const InProcessRun run = rescue({path}, dir + "/out");
        QCOMPARE(run.status, 0);
        for (int i = 0; i < paths.size(); ++i)
            QCOMPARE(readFile(dir + "/out/N/" + paths.at(i)), bodies.at(i));
        QVERIFY2(run.out.contains("is already an output of this rescue; saved as "), qPrintable(run.out));
    }

    // The catalog's name is the data: the header, the tape and the log
    // show it; only the path is mended.
    void catalogNameStaysInHeaderTapeAndLog()
    {
        const QString dir = folder("name");
        const QByteArray code = tosdisk::codeFile(32768, 400, 5);
        const QString path = image(dir, "C.dsk", diskWith({fileOf("A/B", "", code)}));
        const InProcessRun run = rescue({path}, dir + "/out");
        QCOMPARE(run.status, 0);
        QVERIFY(readFile(dir + "/out/C/A_B.cod.inf").startsWith("File   : A/B.cod\n"));
        QVERIFY(linesOf(run.out).contains("file A/B "));
        const QByteArray tape = readFile(dir + "/out/C/C.tap");
        QCOMPARE(tape.mid(4, 10), QByteArray("A/B       "));
    }

    // A lost block named like the image's archive does not replace it.
    void lostBlockNeverReplacesTheArchive()
    {
        const QString dir = folder("lost");
        tosdisk::Disk disk;
        disk.files.append(fileOf("F", "", tosdisk::codeFile(32768, 300, 1)));
        disk.lostData.append({0x60, tosdisk::plainData(256, 9)});
        const QString path = image(dir, "sector_0060.dat.dsk", tosdisk::build(disk));
        const InProcessRun run = rescue({path}, dir + "/out");
        QCOMPARE(run.status, 0);
        const QString out = dir + "/out/sector_0060.dat/";
        QVERIFY(readFile(out + "sector_0060.dat.tap").startsWith(QByteArray("\x13\x00\x00\x03", 4)));
        QCOMPARE(readFile(out + "sector_0060~2.dat"), tosdisk::plainData(256, 9));
        QVERIFY(QFile::exists(out + "sector_0060~2.dat.tap"));
        QVERIFY(linesOf(run.out).contains("sector_0060.dat is already an output of this rescue; saved as sector_0060~2.dat"));
    }

    // Images of one name in one run: each gets its folder, with a log line.
    void collidingImageNamesGetFoldersOfTheirOwn()
    {
        const QString dir = folder("images");
        const QByteArray first = tosdisk::codeFile(32768, 300, 1);
        const QByteArray second = tosdisk::codeFile(32768, 300, 2);
        const QString a = image(dir, "a/disk.dsk", diskWith({fileOf("F", "", first)}));
        const QString b = image(dir, "b/disk.dsk", diskWith({fileOf("F", "", second)}));
        const InProcessRun run = rescue({a, b}, dir + "/out");
        QCOMPARE(run.status, 0);
        QCOMPARE(readFile(dir + "/out/disk/F.cod"), first.mid(5));
        QCOMPARE(readFile(dir + "/out/disk~2/F.cod"), second.mid(5));
        QVERIFY(QFile::exists(dir + "/out/disk~2/disk~2.tap"));
        QVERIFY(linesOf(run.out).contains("The folder disk holds another image of this run; saved into disk~2"));
    }

    // A link at an output path is never followed: the write fails with a
    // reason and what the link points to stays as it was.
    void linksAreNotFollowed_data()
    {
        QTest::addColumn<QString>("linkPath"); // below the output root
        QTest::addColumn<bool>("toFolder");
        QTest::addColumn<bool>("dangling");
        QTest::newRow("image folder") << "L" << true << false;
        QTest::newRow("catalog file") << "L/F.cod" << false << false;
        QTest::newRow("description") << "L/F.cod.inf" << false << false;
        QTest::newRow("archive") << "L/L.tap" << false << false;
        QTest::newRow("dangling link") << "L/F.cod" << false << true;
    }

    void linksAreNotFollowed()
    {
        QFETCH(QString, linkPath);
        QFETCH(bool, toFolder);
        QFETCH(bool, dangling);
        const QString dir = folder("links");
        const QString path = image(dir, "L.dsk", diskWith({fileOf("F", "", tosdisk::codeFile(32768, 300, 1))}));
        const QString out = dir + "/out";
        QDir().mkpath(out + "/L");
        const QString victim = dir + (toFolder ? "/elsewhere" : "/victim");
        if (toFolder) {
            QDir(out + "/L").removeRecursively();
            QDir().mkpath(victim);
        } else if (!dangling) {
            QVERIFY(writeFile(victim, "precious"));
        }
        const QString target = dangling ? dir + "/nowhere/created" : victim;
        QVERIFY(QFile::link(target, out + "/" + linkPath));

        const InProcessRun run = rescue({path}, out);
        QCOMPARE(run.status, 1);
        QVERIFY2(run.err.contains("symbolic link"), qPrintable(run.err));
        if (toFolder)
            QCOMPARE(QDir(victim).entryList(QDir::NoDotAndDotDot | QDir::AllEntries), QStringList());
        else if (dangling)
            QVERIFY(!QFileInfo::exists(target) && !QDir(dir + "/nowhere").exists());
        else
            QCOMPARE(readFile(victim), QByteArray("precious"));
        QVERIFY(QFileInfo(out + "/" + linkPath).isSymLink());
    }

    // The output root itself may be a link the user chose.
    void outputRootMayBeALink()
    {
        const QString dir = folder("root");
        const QString path = image(dir, "R.dsk", diskWith({fileOf("F", "", tosdisk::codeFile(32768, 300, 1))}));
        QDir().mkpath(dir + "/real");
        QVERIFY(QFile::link(dir + "/real", dir + "/alias"));
        const InProcessRun run = rescue({path}, dir + "/alias");
        QCOMPARE(run.status, 0);
        QVERIFY(QFile::exists(dir + "/real/R/F.cod"));
    }

    // A file that cannot be written whole leaves nothing behind that looks
    // complete, and the failure carries the system's reason.
    void failedWriteLeavesNoPartialFile()
    {
        const QString dir = folder("full");
        const QByteArray code = tosdisk::codeFile(32768, 9000, 4);
        const QString path = image(dir, "G.dsk", diskWith({fileOf("GAME", "", code)}));
        InProcessRun run;
        {
            FileSizeLimit limit(4096);
            if (!limit.active)
                QSKIP("cannot lower the file size limit here");
            run = rescue({path}, dir + "/out");
        }
        QCOMPARE(run.status, 1);
        const QString out = dir + "/out/G/";
        QVERIFY(!QFile::exists(out + "GAME.cod"));
        QCOMPARE(QDir(out).entryList(QDir::Files | QDir::Hidden), QStringList({"GAME.cod.inf"}));
        const QString failure = "Cannot write " + out + "GAME.cod: ";
        QString line;
        for (const QString &candidate : linesOf(run.out))
            if (candidate.startsWith(failure))
                line = candidate;
        QVERIFY2(line.size() > failure.size(), qPrintable(run.out));
        QVERIFY(run.err.contains(": cannot write " + out + "GAME.cod"));
    }

    // Duplicate sector ids never refuse a disk; the first copy is kept.
    void duplicateSectorIds_data()
    {
        QTest::addColumn<bool>("differs");
        QTest::newRow("identical copy") << false;
        QTest::newRow("misread id") << true;
    }

    void duplicateSectorIds()
    {
        QFETCH(bool, differs);
        const QString dir = folder("dup");
        tosdisk::Disk disk;
        disk.files.append(fileOf("F", "", tosdisk::codeFile(32768, 300, 1)));
        ImageBuilder builder(40, 1);
        // Rebuild the disk's sectors into a builder that can list one twice.
        const QByteArray bytes = tosdisk::build(disk);
        libdsk dsk;
        QVERIFY(dsk.openData(bytes, "d") >= 0);
        for (int t = 0; t < 40; ++t)
            for (int id = 0; id < 16; ++id)
                builder.setSector(t, 0, id, dsk.sector(t, 0, id));
        ImageBuilder::Sector copy = *builder.sector(20, 0, 3);
        if (differs)
            copy.data[0] = char(copy.data.at(0) ^ 0x55);
        builder.track(20, 0).sectors.append(copy);
        const QString path = image(dir, "D.dsk", builder.dsk());
        const InProcessRun run = rescue({path}, dir + "/out");
        QCOMPARE(run.status, 0);
        QVERIFY(linesOf(run.out).contains("sectors (imported)  : 640"));
        const bool reported = run.out.contains("Track 20 side 0: sector id 3 is listed twice with different data");
        QCOMPARE(reported, differs);
        QCOMPARE(readFile(dir + "/out/D/F.cod"), tosdisk::codeFile(32768, 300, 1).mid(5));
    }

    // Inputs that are not regular files are refused at once, never waited on.
    void irregularInputsAreRefusedAtOnce_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::newRow("FIFO") << "a FIFO";
        QTest::newRow("folder") << "a folder";
        QTest::newRow("device") << "a device";
    }

    void irregularInputsAreRefusedAtOnce()
    {
        QFETCH(QString, kind);
        const QString dir = folder("irregular");
        QString input = dir + "/input";
        if (kind == "a FIFO")
            QCOMPARE(mkfifo(QFile::encodeName(input).constData(), 0600), 0);
        else if (kind == "a folder")
            QVERIFY(QDir().mkpath(input));
        else
            input = "/dev/null";
        const QString good = image(dir, "GOOD.dsk", smallTosDisk());
        const ToolRun run = runTool({"--output", dir + "/out", input, good}, dir);
        QCOMPARE(run.exitCode, 1);
        QVERIFY2(run.err.contains(input + ": refused: Not a regular file (" + kind + "); not read."), qPrintable(run.err));
        QVERIFY(QFile::exists(dir + "/out/GOOD/GOOD.tap"));
    }

    void emptyOutputIsAUsageError()
    {
        const ToolRun run = runTool({"--output", "", "a.dsk"}, folder("empty"));
        QCOMPARE(run.exitCode, 2);
        QVERIFY(run.err.startsWith("malvore-rescue: missing value for --output\n"));
    }

    // A code file too long for one tape block is written, and the log says
    // the archive leaves it out.
    void fileLeftOutOfTheArchiveSaysSo()
    {
        const QString dir = folder("long");
        const QByteArray code = tosdisk::codeFile(0, 70000, 6);
        const QString path = image(dir, "T.dsk", diskWith({fileOf("HUGE", "", code)}, 80, 2));
        const InProcessRun run = rescue({path}, dir + "/out");
        QCOMPARE(run.status, 0);
        QCOMPARE(readFile(dir + "/out/T/HUGE.cod").size(), 70000);
        QVERIFY2(linesOf(run.out).contains(
                     "HUGE left out of the tape archive: 70000 bytes are too long for a tape block"),
                 qPrintable(run.out));
    }

    // Control characters in names reach neither the terminal nor the
    // window's markup raw; the files keep their bytes.
    void controlCharactersAreEscaped_data()
    {
        QTest::addColumn<LogFormat>("format");
        QTest::addColumn<QString>("shown");
        QTest::newRow("plain") << LogFormat::Plain << "file \\x1b]0;X\\x07 ";
        QTest::newRow("html") << LogFormat::Html << "file &#x1b;]0;X&#x07; ";
    }

    void controlCharactersAreEscaped()
    {
        QFETCH(LogFormat, format);
        QFETCH(QString, shown);
        const QString dir = folder("control");
        const QByteArray code = tosdisk::codeFile(32768, 200, 3);
        const QString path = image(dir, "E\x1b[2J.dsk", diskWith({fileOf("\x1b]0;X\x07", "", code), fileOf("<hr>X", "", code)}));
        const InProcessRun run = rescue({path}, dir + "/out", format);
        QCOMPARE(run.status, 0);
        QVERIFY2(linesOf(run.out).contains(shown), qPrintable(run.out));
        QVERIFY(!run.out.contains(QChar(0x1b)) && !run.out.contains(QChar(0x07)));
        if (format == LogFormat::Html)
            QVERIFY(run.out.contains("file &lt;hr>X "));
        QVERIFY(readFile(dir + "/out/E\x1b[2J/\x1b]0;X\x07.cod.inf").startsWith("File   : \x1b]0;X\x07.cod\n"));
    }
};

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    TestSafeOutput test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_safeoutput.moc"
