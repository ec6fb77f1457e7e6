#include "disk/formatdetect.h"
#include "rescuetestutil.h"
#include "tap/libtap.h"

#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

using namespace rescuetest;

namespace {

// One numeric variable "a" = 5 and the end marker of the variables area.
const QByteArray variables("\x61\x00\x00\x05\x00\x00\x80", 7);

struct ToolRun
{
    bool started = false;
    int exitCode = -1;
    QString output;
};

ToolRun runTool(const QString &tool, const QString &file)
{
    ToolRun run;
    QProcess process;
    process.setProcessChannelMode(QProcess::SeparateChannels);
    process.start(QStandardPaths::findExecutable(tool), {file});
    run.started = process.waitForStarted(10000);
    if (!run.started || !process.waitForFinished(30000))
        return run;
    run.exitCode = process.exitCode();
    run.output = QString::fromLocal8Bit(process.readAllStandardOutput());
    return run;
}

// tzxlist prints one "--= Block #n =--" section per tape block.
QStringList blockSections(const QString &listing)
{
    QStringList sections = listing.split(QRegularExpression(QStringLiteral("--= Block #\\d+ =--")));
    sections.removeFirst();
    return sections;
}

QStringList trimmedLines(const QString &text)
{
    QStringList lines;
    for (const QString &line : text.split(QLatin1Char('\n'), Qt::SkipEmptyParts))
        lines.append(line.trimmed());
    return lines;
}

} // namespace

// A real third-party tape reader must read the archives we write as we
// meant them: block kinds, names, lengths, parameters and checksums.
class TestThirdParty : public QObject
{
    Q_OBJECT

    QTemporaryDir dir;
    QString folder;

private slots:
    void initTestCase()
    {
        QVERIFY(dir.isValid());
        if (QStandardPaths::findExecutable("tzxlist").isEmpty()
            || QStandardPaths::findExecutable("listbasic").isEmpty())
            QSKIP("tzxlist and listbasic (Debian package fuse-emulator-utils) are not installed; "
                  "scripts/install-deps installs them");

        // A 40-track A.4 image, data from sector 80 on so that no first byte of
        // sectors 0..63 looks like the system area: a BASIC program with variables, a screen of
        // code, a data file and a lost BASIC program at sector 0x100.
        ImageBuilder disk(40, 1);
        const QByteArray program = ImageBuilder::withHeader7(10, basicProgram().size(), basicProgram() + variables);
        disk.setLogicalBytes(32, extentEntry(0, "hello", "B", 0, program.size(), "\x14"), false);
        disk.setLogicalBytes(80 * 256, program, false);
        const QByteArray screen = ImageBuilder::withHeader5(3, 6912, 16384, pattern(6912, 1));
        disk.setLogicalBytes(64, extentEntry(0, "screen", "C", 0, screen.size(), "\x15\x16\x17\x18\x19\x1a\x1b"),
                             false);
        disk.setLogicalBytes(84 * 256, screen, false);
        disk.setLogicalBytes(96, extentEntry(0, "notes", "", 0, 200, "\x1c"), false);
        disk.setLogicalBytes(112 * 256, "text " + pattern(195, 2), false);
        disk.setLogicalBytes(0x100 * 256, ImageBuilder::withHeader7(20, basicProgram().size(), basicProgram()), false);

        const ImageRow row = loadRow(disk.edsk(), "TAPES");
        QCOMPARE(row.format, DiskFormat::TosA4);
        LogLines log;
        const ConversionReport report = convertImage(jobFromRow(row, dir.path()), log.sink());
        QCOMPARE(log.lines, QStringList({"file hello.B ", "file screen.C ", "file notes ", "Found 1 lost block(s)"}));
        QCOMPARE(report.writeFailures, 0);
        folder = dir.filePath("TAPES/");
        QCOMPARE(readFile(folder + "hello.B.bas"), basicProgram() + variables);
    }

    void tzxlistReadsTheImageArchive()
    {
        const ToolRun run = runTool("tzxlist", folder + "TAPES.tap");
        QVERIFY(run.started);
        QCOMPARE(run.exitCode, 0);
        const QStringList blocks = blockSections(run.output);
        QCOMPARE(blocks.size(), 4);
        for (const QString &block : blocks) {
            QVERIFY2(block.contains("Block type 0x10 (Standard Speed Data)"), qPrintable(block));
            QVERIFY2(block.contains("(PASS)") && !block.contains("FAIL"), qPrintable(block));
        }
        const QStringList header0 = trimmedLines(blocks.at(0));
        QVERIFY(header0.contains("Block length: 19 bytes"));
        QVERIFY(header0.contains("Block header, zxlength: 34, parameter1: 10, parameter2: 27"));
        QVERIFY(header0.contains("Program: \"HELLO.B   \" LINE 10"));
        QVERIFY(header0.contains("Length: 34, includes variable length: 7"));
        const QStringList data1 = trimmedLines(blocks.at(1));
        QVERIFY(data1.contains("Block length: 36 bytes"));
        QVERIFY(data1.contains("Datablock length: 34"));
        const QStringList header2 = trimmedLines(blocks.at(2));
        QVERIFY(header2.contains("Block length: 19 bytes"));
        QVERIFY(header2.contains("Block header, zxlength: 6912, parameter1: 16384, parameter2: 32768"));
        QVERIFY2(header2.contains("Bytes: \"SCREEN.C  \" SCREEN$  16384, 6912"), qPrintable(blocks.at(2)));
        const QStringList data3 = trimmedLines(blocks.at(3));
        QVERIFY(data3.contains("Block length: 6914 bytes"));
        QVERIFY(data3.contains("Datablock length: 6912"));
    }

    void tzxlistReadsLostBlockArchives()
    {
        const ToolRun run = runTool("tzxlist", folder + "sector_0100.bas.tap");
        QCOMPARE(run.exitCode, 0);
        const QStringList blocks = blockSections(run.output);
        QCOMPARE(blocks.size(), 2);
        QVERIFY(trimmedLines(blocks.at(0)).contains("Program: \"SECTOR0100\" LINE 20"));
        QVERIFY(trimmedLines(blocks.at(0)).contains("Length: 27, includes variable length: 0"));
        QVERIFY(trimmedLines(blocks.at(1)).contains("Datablock length: 27"));
        QVERIFY(!run.output.contains("FAIL"));
    }

    void tzxlistReadsAnArchiveOfTheLargestBlock()
    {
        libtap tap;
        QCOMPARE(tap.addCode("maximum", pattern(65533, 3), -1), 1);
        QCOMPARE(tap.saveTap(dir.filePath("max.tap")), 0);
        const ToolRun run = runTool("tzxlist", dir.filePath("max.tap"));
        QCOMPARE(run.exitCode, 0);
        const QStringList blocks = blockSections(run.output);
        QCOMPARE(blocks.size(), 2);
        QVERIFY(trimmedLines(blocks.at(0)).contains("Bytes: \"MAXIMUM   \" CODE  3, 65533"));
        QVERIFY(trimmedLines(blocks.at(1)).contains("Datablock length: 65533"));
        QVERIFY(!run.output.contains("FAIL"));
    }

    void listbasicListsTheRescuedProgram()
    {
        const ToolRun run = runTool("listbasic", folder + "TAPES.tap");
        QVERIFY(run.started);
        QCOMPARE(run.exitCode, 0);
        QCOMPARE(trimmedLines(run.output), QStringList({"10 PRINT \"HELLO\"", "20 GO TO 10"}));
    }

    void listbasicListsTheLostProgram()
    {
        const ToolRun run = runTool("listbasic", folder + "sector_0100.bas.tap");
        QCOMPARE(run.exitCode, 0);
        QCOMPARE(trimmedLines(run.output), QStringList({"10 PRINT \"HELLO\"", "20 GO TO 10"}));
    }
};

QTEST_GUILESS_MAIN(TestThirdParty)
#include "test_thirdparty.moc"
