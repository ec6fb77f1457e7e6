#include "disk/formatdetect.h"
#include "rescuetestutil.h"
#include "tap/libtap.h"

#include <QTemporaryDir>
#include <QTest>

using namespace rescuetest;

namespace {

constexpr int imageSectors = 640; // 40 tracks, one side

QByteArray zeros(int count)
{
    return QByteArray(count, '\0');
}

// A 256-byte sector that is neither blank nor a lost-block header.
QByteArray plainSector(char first, int seed)
{
    return first + pattern(255, seed);
}

struct Converted
{
    ConversionReport report;
    QStringList log;
    QString folder;
};

} // namespace

// One image converted into its folder: catalog files, descriptions, the
// image's archive and lost blocks, compared byte for byte.
class TestConversion : public QObject
{
    Q_OBJECT

    QTemporaryDir dir;
    int runs = 0;

    // Converts into a fresh output root; folder is the image folder.
    Converted convert(const ConversionJob &jobTemplate)
    {
        ConversionJob job = jobTemplate;
        job.outputRoot = dir.filePath(QStringLiteral("run%1").arg(++runs));
        LogLines log;
        Converted result;
        result.report = convertImage(job, log.sink());
        result.log = log.lines;
        result.folder = job.outputRoot + QLatin1Char('/') + job.imageName + QLatin1Char('/');
        return result;
    }

    Converted convert(const LogicalImage &image, DiskFormat tos = DiskFormat::TosA4)
    {
        return convert(image.job(QStringLiteral("IMG"), 40, tos, QString()));
    }

    static LogicalImage emptyA4()
    {
        LogicalImage image(imageSectors);
        image.clearCatalog(4);
        return image;
    }

private slots:
    void initTestCase() { QVERIFY(dir.isValid()); }

    // A 40-track A.2 image built as DSK bytes, opened as Open opens it, and
    // every output compared with the bytes it must hold.
    void completeConversion()
    {
        ImageBuilder disk(40, 1);
        auto entryAt = [&disk](int index, const QByteArray &entry) {
            disk.setLogicalBytes(64 * 256 + index * 32, entry, true);
        };
        auto blockAt = [&disk](int block, const QByteArray &bytes) {
            disk.setLogicalBytes((64 + block * 4) * 256, bytes, true);
        };

        // Entry 0 is a file of the walk but never an extent: no blocks.
        entryAt(0, extentEntry(0, "ZERO", "", 0, 1024, "\x09"));

        const QByteArray prog = basicProgram();
        const QByteArray progFile = ImageBuilder::withHeader7(10, prog.size(), prog);
        entryAt(1, extentEntry(0, "PROG", "B", 0, progFile.size(), "\x04"));
        blockAt(4, progFile);

        // Sectors 84..91; the ones at list positions 2 and 5 are missing.
        const QByteArray screenFile = ImageBuilder::withHeader5(3, 1100, 16384, pattern(1100, 3));
        entryAt(2, extentEntry(10, "SCREEN", "C", 0, screenFile.size(), "\x05\x06"));
        blockAt(5, screenFile);
        disk.removeLogicalSector(86, true);
        disk.removeLogicalSector(89, true);

        // Second extent before the first, in another block run.
        const QByteArray bigFile = ImageBuilder::withHeader5(3, 1319, 40000, pattern(1319, 6));
        entryAt(3, extentEntry(0, "BIG", "C", 1, 300, "\x0a"));
        entryAt(5, extentEntry(0, "BIG", "C", 0, 1024, "\x08"));
        blockAt(8, bigFile.left(1024));
        blockAt(10, bigFile.mid(1024));

        // A data file with two read sectors of zeros.
        entryAt(4, extentEntry(0, "ZEROS", "D", 0, 1000, "\x07"));
        const QByteArray zerosFile = plainSector('D', 4) + zeros(512) + pattern(256, 5);
        blockAt(7, zerosFile);

        entryAt(6, extentEntry(0, "FOLDER", "DIR", 0, 1024, "\x0d"));
        entryAt(7, extentEntry(0, "\xe5OLD", "B", 0, 1024, "\x0e"));
        // Their sectors are claimed by no file: lost blocks.
        blockAt(13, plainSector('Q', 11));
        blockAt(14, plainSector('R', 12));

        const QByteArray arrayFile = ImageBuilder::withHeader5(1, 20, 23755, pattern(20, 7));
        entryAt(8, extentEntry(0, "ARRAY", "N", 0, arrayFile.size(), "\x0b"));
        blockAt(11, arrayFile);

        // A basic file whose length is word1 + 5 takes the 5-byte header.
        const QByteArray hdr5File = ImageBuilder::withHeader5(0, 95, 30000, pattern(95, 8));
        entryAt(9, extentEntry(0, "HDR5", "", 0, 100, "\x0c"));
        blockAt(12, hdr5File);

        // Lost blocks: a code file at sector 0xa3 and two plain sectors.
        const QByteArray lostCode = ImageBuilder::withHeader5(3, 1000, 32768, pattern(1000, 9));
        disk.setLogicalBytes(0xa3 * 256, lostCode, true);
        disk.setLogicalSector(0xb0, plainSector('U', 10), true);
        disk.setLogicalSector(0xb1, plainSector('f', 13), true);

        const ImageRow row = loadRow(disk.dsk(), "DISK");
        QCOMPARE(row.format, DiskFormat::TosA2);
        QCOMPARE(row.sectors.bytes().size(), imageSectors * 256);
        const Converted result = convert(jobFromRow(row, QString()));
        const QString &folder = result.folder;

        QCOMPARE(result.log,
                 QStringList({"file ZERO ", "file PROG.B ", "file 0a_SCREEN.C has 2 bad sector(s) ",
                              "file ZEROS.D  2 possible false-positive(s) sector(s)", "file BIG.C ",
                              "file ARRAY.N ", "file HDR5 ", "Found 1 lost block(s)"}));
        QCOMPARE(entriesIn(folder),
                 QStringList({"0a_SCREEN.C.cod", "0a_SCREEN.C.cod.inf", "ARRAY.N.num", "ARRAY.N.num.inf",
                              "BIG.C.cod", "BIG.C.cod.inf", "DISK.tap", "HDR5.bas", "HDR5.bas.inf",
                              "PROG.B.bas", "PROG.B.bas.inf", "ZERO.bas", "ZERO.bas.inf", "ZEROS.D.dat",
                              "sector_0074.dat", "sector_0074.dat.tap", "sector_0078.dat",
                              "sector_0078.dat.tap", "sector_00a3.cod", "sector_00a3.cod.inf", "sector_00a3.cod.tap",
                              "sector_00b0.dat", "sector_00b0.dat.tap", "sector_00b1.dat",
                              "sector_00b1.dat.tap"}));

        QCOMPARE(readFile(folder + "ZERO.bas.inf"),
                 QByteArray("File   : ZERO.bas\ntype   : basic\nheader : \nstart  : 0\nlen    : 0\nvaraddr: 0"));
        QCOMPARE(readFile(folder + "ZERO.bas"), QByteArray());

        QCOMPARE(readFile(folder + "PROG.B.bas.inf"),
                 QByteArray("File   : PROG.B.bas\ntype   : basic\nheader : 000a001b001b00\nstart  : 10\n"
                            "len    : 27\nvaraddr: 27"));
        QCOMPARE(readFile(folder + "PROG.B.bas"), prog);

        QByteArray screenRead = screenFile;
        screenRead.replace(512, 256, zeros(256));
        QCOMPARE(readFile(folder + "0a_SCREEN.C.cod.inf"),
                 QByteArray("File   : 0a_SCREEN.C.cod\ntype   : code\nheader : 034c040040\nstart  : 16384\n"
                            "len    : 1100\nbad sec : 2,5,"));
        QCOMPARE(readFile(folder + "0a_SCREEN.C.cod"), screenRead.mid(5));

        QCOMPARE(readFile(folder + "ZEROS.D.dat"), zerosFile.left(1000));

        QCOMPARE(readFile(folder + "BIG.C.cod.inf"),
                 QByteArray("File   : BIG.C.cod\ntype   : code\nheader : 032705409c\nstart  : 40000\n"
                            "len    : 1319"));
        QCOMPARE(readFile(folder + "BIG.C.cod"), pattern(1319, 6));

        QCOMPARE(readFile(folder + "ARRAY.N.num.inf"),
                 QByteArray("File   : ARRAY.N.num\ntype   : num array\nheader : 011400cb5c\nstart  : 23755\n"
                            "len    : 20"));
        QCOMPARE(readFile(folder + "ARRAY.N.num"), pattern(20, 7));

        QCOMPARE(readFile(folder + "HDR5.bas.inf"),
                 QByteArray("File   : HDR5.bas\ntype   : basic\nheader : 005f003075\nstart  : 30000\n"
                            "len    : 95"));
        QCOMPARE(readFile(folder + "HDR5.bas"), pattern(95, 8));

        const QByteArray imageTap = tapPair(0, "ZERO      ", QByteArray(), 0, 0)
            + tapPair(0, "PROG.B    ", prog, 10, 27)
            + tapPair(3, "0A_SCREEN.", screenRead.mid(5), 16384, 0x8000)
            + tapPair(3, "BIG.C     ", pattern(1319, 6), 40000, 0x8000)
            + tapPair(0, "HDR5      ", pattern(95, 8), 30000, 95);
        QCOMPARE(readFile(folder + "DISK.tap").toHex(' '), imageTap.toHex(' '));

        QCOMPARE(readFile(folder + "sector_00a3.cod.inf"),
                 QByteArray("File   : sector_00a3.cod\ntype   : code\nheader : 03e8030080\nstart  : 32768\n"
                            "len    : 1000"));
        QCOMPARE(readFile(folder + "sector_00a3.cod"), pattern(1000, 9));
        QCOMPARE(readFile(folder + "sector_00a3.cod.tap"), tapPair(3, "SECTOR00A3", pattern(1000, 9), 32768, 0x8000));
        QCOMPARE(readFile(folder + "sector_0074.dat"), plainSector('Q', 11));
        QCOMPARE(readFile(folder + "sector_0078.dat"), plainSector('R', 12));
        QCOMPARE(readFile(folder + "sector_00b0.dat"), plainSector('U', 10));
        QCOMPARE(readFile(folder + "sector_00b0.dat.tap"), tapPair(3, "SECTOR00B0", plainSector('U', 10), 32768, 0x8000));
        QCOMPARE(readFile(folder + "sector_00b1.dat"), plainSector('f', 13));
        QCOMPARE(readFile(folder + "sector_00b1.dat.tap"), tapPair(3, "SECTOR00B1", plainSector('f', 13), 32768, 0x8000));

        QVERIFY(result.report.converted);
        QCOMPARE(result.report.catalogFiles, 7);
        QCOMPARE(result.report.lostBlocks, 1);
        QCOMPARE(result.report.writeFailures, 0);
    }

    // An 80-track double-sided A.2 image: 4 KB blocks from sector 64, the
    // logical order walking both sides of every track.
    void largeDoubleSidedImage()
    {
        ImageBuilder disk(80, 2);
        disk.setLogicalBytes(64 * 256, QByteArray(4096, '\0'), true);
        const QByteArray file = ImageBuilder::withHeader5(3, 6000, 24576, pattern(6000, 1));
        disk.setLogicalBytes(64 * 256 + 32, extentEntry(0, "WIDE", "C", 0, file.size(), "\x01\x02"), true);
        disk.setLogicalBytes(80 * 256, file, true);
        // Logical sector 100 lies on track 3, side 0; its physical id is
        // the skew of position 4.
        disk.removeSector(3, 0, 12);
        disk.setLogicalSector(0x700, plainSector('S', 2), true);

        const ImageRow row = loadRow(disk.edsk(), "WIDE80");
        QCOMPARE(row.format, DiskFormat::TosA2);
        QCOMPARE(row.sectors.bytes().size(), 80 * 2 * 16 * 256);
        const Converted result = convert(jobFromRow(row, QString()));
        QCOMPARE(result.log, QStringList({"file WIDE.C has 1 bad sector(s) ", "Found 0 lost block(s)"}));
        QByteArray expected = file;
        expected.replace(20 * 256, 256, zeros(256));
        QCOMPARE(readFile(result.folder + "WIDE.C.cod.inf"),
                 QByteArray("File   : WIDE.C.cod\ntype   : code\nheader : 0370170060\nstart  : 24576\n"
                            "len    : 6000\nbad sec : 20,"));
        QCOMPARE(readFile(result.folder + "WIDE.C.cod"), expected.mid(5));
        QCOMPARE(readFile(result.folder + "sector_0700.dat"), plainSector('S', 2));
    }

    void badSectorsAndFalsePositivesInTheLog()
    {
        LogicalImage image = emptyA4();
        // Three bad sectors, the fourth read: bad zero-filled sectors are no
        // false positives.
        image.setEntry(4, 1, extentEntry(0, "THREE", "", 0, 1024, "\x14"));
        image.setSector(80, plainSector(4, 1));
        image.setBad(81);
        image.setBad(82);
        image.setBad(83);
        // One bad sector and two read sectors of zeros.
        image.setEntry(4, 2, extentEntry(0, "MIXED", "", 0, 1024, "\x15"));
        image.setSector(84, plainSector(4, 2));
        image.setBad(85);
        image.setSector(86, zeros(256));
        image.setSector(87, zeros(256));
        // Only false positives.
        image.setEntry(4, 3, extentEntry(0, "FALSE", "", 0, 1024, "\x16"));
        image.setSector(88, plainSector(4, 3));
        image.setSector(89, zeros(256));
        const Converted result = convert(image);
        QCOMPARE(result.log, QStringList({"file THREE has 3 bad sector(s) ",
                                          "file MIXED has 1 bad sector(s)  2 possible false-positive(s) sector(s)",
                                          "file FALSE  1 possible false-positive(s) sector(s)",
                                          "Found 0 lost block(s)"}));
        QCOMPARE(readFile(result.folder + "THREE.dat"), plainSector(4, 1) + zeros(768));
    }

    void badSectorListCountsFromTheFirstSector()
    {
        LogicalImage image = emptyA4();
        const QByteArray file = ImageBuilder::withHeader5(3, 2000, 0, pattern(2000, 1));
        // Blocks out of order: the list positions are sector - first sector,
        // in unsigned arithmetic.
        image.setEntry(4, 1, extentEntry(0, "ORDER", "", 0, file.size(), "\x15\x14"));
        image.setBytes(84 * 256, file.left(1024));
        image.setBytes(80 * 256, file.mid(1024));
        image.setBad(83);
        image.setBad(86);
        const Converted result = convert(image);
        QCOMPARE(readFile(result.folder + "ORDER.cod.inf"),
                 QByteArray("File   : ORDER.cod\ntype   : code\nheader : 03d0070000\nstart  : 0\nlen    : 2000\n"
                            "bad sec : 2,4294967295,"));
    }

    void sectorsBeyondTheImageAreBad()
    {
        LogicalImage image = emptyA4();
        // Block 255 of an A.4 catalog: sectors 1020..1023 of a 640-sector image.
        image.setEntry(4, 1, extentEntry(0, "FAR", "", 0, 1024, "\xff"));
        const Converted result = convert(image);
        QCOMPARE(result.log.first(), QString("file FAR has 4 bad sector(s) "));
        QCOMPARE(readFile(result.folder + "FAR.bas.inf"),
                 QByteArray("File   : FAR.bas\ntype   : basic\nheader : 00000000000000\nstart  : 0\nlen    : 0\n"
                            "varaddr: 0\nbad sec : 0,1,2,3,"));
        QCOMPARE(readFile(result.folder + "FAR.bas"), zeros(1017));
    }

    void sharedSectorsGoIntoEachFile()
    {
        LogicalImage image = emptyA4();
        image.setEntry(4, 1, extentEntry(0, "ONE", "", 0, 1024, "\x14"));
        image.setEntry(4, 2, extentEntry(0, "TWO", "", 0, 1024, "\x14"));
        const QByteArray bytes = plainSector('X', 1) + plainSector('Y', 2) + plainSector('Z', 3) + plainSector('W', 4);
        image.setBytes(80 * 256, bytes);
        const Converted result = convert(image);
        QCOMPARE(result.log, QStringList({"file ONE ", "file TWO ", "Found 0 lost block(s)"}));
        QCOMPARE(readFile(result.folder + "ONE.dat"), bytes);
        QCOMPARE(readFile(result.folder + "TWO.dat"), bytes);
    }

    void headerChoice_data()
    {
        QTest::addColumn<QByteArray>("fileBytes");
        QTest::addColumn<int>("length");
        QTest::addColumn<QString>("outputName");
        QTest::addColumn<QByteArray>("inf");
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QByteArray>("tap");

        const QByteArray basic7 = ImageBuilder::withHeader7(9999, 40, pattern(50, 1));
        QTest::newRow("basic, 7-byte header")
            << basic7 << 57 << "F.bas"
            << QByteArray("File   : F.bas\ntype   : basic\nheader : 000f2732002800\nstart  : 9999\nlen    : 50\n"
                          "varaddr: 40")
            << pattern(50, 1) << tapPair(0, "F         ", pattern(50, 1), 9999, 40);

        const QByteArray basic5 = ImageBuilder::withHeader5(0, 45, 1234, pattern(45, 2));
        QTest::newRow("basic, length = word1 + 5")
            << basic5 << 50 << "F.bas"
            << QByteArray("File   : F.bas\ntype   : basic\nheader : 002d00d204\nstart  : 1234\nlen    : 45")
            << pattern(45, 2) << tapPair(0, "F         ", pattern(45, 2), 1234, 45);

        // The variables offset is left to its default, the length of the
        // body actually rescued.
        const QByteArray basicLong = ImageBuilder::withHeader5(0, 1995, 77, pattern(1995, 9)).left(1024);
        QTest::newRow("basic, length = word1 + 5, past the data")
            << basicLong << 2000 << "F.bas"
            << QByteArray("File   : F.bas\ntype   : basic\nheader : 00cb074d00\nstart  : 77\nlen    : 1995")
            << basicLong.mid(5) << tapPair(0, "F         ", basicLong.mid(5), 77, 1019);

        const QByteArray data5 = ImageBuilder::withHeader5(0x80, 60, 7, pattern(60, 3));
        QTest::newRow("data, length = word1 + 5")
            << data5 << 65 << "F.dat"
            << QByteArray("File   : F.dat\ntype   : data\nheader : 803c000700\nstart  : 7\nlen    : 60")
            << pattern(60, 3) << QByteArray();

        QTest::newRow("data, no header")
            << data5 << 64 << "F.dat" << QByteArray() << data5.left(64) << QByteArray();

        const QByteArray chars = ImageBuilder::withHeader5(2, 30, 0x1234, pattern(30, 4));
        QTest::newRow("char array")
            << chars << 35 << "F.chr"
            << QByteArray("File   : F.chr\ntype   : char array\nheader : 021e003412\nstart  : 4660\nlen    : 30")
            << pattern(30, 4) << QByteArray();

        const QByteArray code = ImageBuilder::withHeader5(3, 500, 65535, pattern(500, 5));
        QTest::newRow("code, length not word1 + 5")
            << code << 300 << "F.cod"
            << QByteArray("File   : F.cod\ntype   : code\nheader : 03f401ffff\nstart  : 65535\nlen    : 500")
            << pattern(295, 5) << tapPair(3, "F         ", pattern(295, 5), 65535, 0x8000);

        QTest::newRow("code, length past the data")
            << code << 3000 << "F.cod"
            << QByteArray("File   : F.cod\ntype   : code\nheader : 03f401ffff\nstart  : 65535\nlen    : 500")
            << code.mid(5) + QByteArray(1019 - 500, char(0xE5))
            << tapPair(3, "F         ", code.mid(5) + QByteArray(519, char(0xE5)), 65535, 0x8000);

        QTest::newRow("code, length below the header size")
            << code << 3 << "F.cod"
            << QByteArray("File   : F.cod\ntype   : code\nheader : 03f401ffff\nstart  : 65535\nlen    : 500")
            << code.mid(5) + QByteArray(519, char(0xE5))
            << tapPair(3, "F         ", code.mid(5) + QByteArray(519, char(0xE5)), 65535, 0x8000);
    }

    void headerChoice()
    {
        QFETCH(QByteArray, fileBytes);
        QFETCH(int, length);
        QFETCH(QString, outputName);
        QFETCH(QByteArray, inf);
        QFETCH(QByteArray, body);
        QFETCH(QByteArray, tap);
        LogicalImage image = emptyA4();
        image.setEntry(4, 1, extentEntry(0, "F", "", 0, length, "\x14"));
        image.setBytes(80 * 256, fileBytes);
        const Converted result = convert(image);
        if (inf.isEmpty())
            QVERIFY(!QFile::exists(result.folder + outputName + ".inf"));
        else
            QCOMPARE(readFile(result.folder + outputName + ".inf"), inf);
        QCOMPARE(readFile(result.folder + outputName), body);
        QCOMPARE(readFile(result.folder + "IMG.tap").toHex(' '), tap.toHex(' '));
    }

    void fileWithoutBlocks_data()
    {
        QTest::addColumn<int>("length");
        QTest::addColumn<QByteArray>("inf");
        QTest::addColumn<QStringList>("log");
        // A length without blocks to hold it is cut, and the log says so.
        QTest::newRow("length 5: 5-byte header")
            << 5 << QByteArray("File   : NB.bas\ntype   : basic\nheader : \nstart  : 0\nlen    : 0")
            << QStringList({"file NB ", "file NB: its catalog length 5 is more than its blocks hold; cut to 0 bytes",
                            "Found 0 lost block(s)"});
        QTest::newRow("length 0: 7-byte header")
            << 0 << QByteArray("File   : NB.bas\ntype   : basic\nheader : \nstart  : 0\nlen    : 0\nvaraddr: 0")
            << QStringList({"file NB ", "Found 0 lost block(s)"});
        QTest::newRow("length 300: 7-byte header")
            << 300 << QByteArray("File   : NB.bas\ntype   : basic\nheader : \nstart  : 0\nlen    : 0\nvaraddr: 0")
            << QStringList({"file NB ", "file NB: its catalog length 300 is more than its blocks hold; cut to 0 bytes",
                            "Found 0 lost block(s)"});
    }

    void fileWithoutBlocks()
    {
        QFETCH(int, length);
        QFETCH(QByteArray, inf);
        LogicalImage image = emptyA4();
        image.setEntry(4, 1, extentEntry(0, "NB", "", 0, length, QByteArray()));
        const Converted result = convert(image);
        QTEST(result.log, "log");
        QCOMPARE(readFile(result.folder + "NB.bas.inf"), inf);
        QCOMPARE(readFile(result.folder + "NB.bas"), QByteArray());
        QCOMPARE(readFile(result.folder + "IMG.tap"), tapPair(0, "NB        ", QByteArray(), 0, 0));
    }

    // The archive holds this image's files only, whatever the builder held.
    void archiveStartsEmpty()
    {
        LogicalImage image = emptyA4();
        image.setEntry(4, 1, extentEntry(0, "OWN", "", 0, 15, "\x14"));
        image.setBytes(80 * 256, ImageBuilder::withHeader5(3, 10, 5, pattern(10, 1)));
        image.setSector(0x90, plainSector('L', 2));
        ConversionJob job = image.job("IMG", 40, DiskFormat::TosA4, dir.filePath("stale"));
        LogLines log;
        convertImage(job, log.sink());
        QCOMPARE(readFile(job.outputRoot + "/IMG/IMG.tap"), tapPair(3, "OWN       ", pattern(10, 1), 5, 0x8000));
        QCOMPARE(readFile(job.outputRoot + "/IMG/sector_0090.dat.tap"),
                 tapPair(3, "SECTOR0090", plainSector('L', 2), 32768, 0x8000));
    }

    void emptyCatalogStillWritesTheArchive()
    {
        const Converted result = convert(emptyA4());
        QCOMPARE(result.log, QStringList({"Found 0 lost block(s)"}));
        QCOMPARE(entriesIn(result.folder), QStringList({"IMG.tap"}));
        QCOMPARE(QFileInfo(result.folder + "IMG.tap").size(), 0);
    }

    // An image name that is empty, "." or ".." still gets a folder of its
    // own below the output root, and its archive is named like the folder.
    void imageNamesStayBelowTheRoot_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("folder");
        QTest::newRow("empty") << "" << "_";
        QTest::newRow("dot") << "." << "_";
        QTest::newRow("dot dot") << ".." << "__";
        QTest::newRow("separator") << "a\\b" << "a_b";
    }
    void imageNamesStayBelowTheRoot()
    {
        QFETCH(QString, name);
        QFETCH(QString, folder);
        const QString root = dir.filePath(QStringLiteral("names%1/root").arg(++runs));
        QVERIFY(QDir().mkpath(root));
        LogLines log;
        const ConversionReport report = convertImage(emptyA4().job(name, 40, DiskFormat::TosA4, root), log.sink());
        QCOMPARE(report.writeFailures, 0);
        QCOMPARE(entriesIn(root), QStringList({folder}));
        QCOMPARE(entriesIn(root + "/" + folder), QStringList({folder + ".tap"}));
        QCOMPARE(entriesIn(root + "/.."), QStringList({"root"}));
    }

    void unknownLayoutDoesNothing_data()
    {
        QTest::addColumn<DiskFormat>("tos");
        QTest::newRow("unknown") << DiskFormat::Unknown;
        QTest::newRow("CP/M") << DiskFormat::Cpm;
        QTest::newRow("out of range") << DiskFormat(7);
    }

    void unknownLayoutDoesNothing()
    {
        QFETCH(DiskFormat, tos);
        LogicalImage image = emptyA4();
        image.setEntry(4, 1, extentEntry(0, "F", "", 0, 100, "\x14"));
        image.setSector(90, plainSector('L', 1));
        ConversionJob job = image.job("IMG", 40, tos, QString());
        job.outputRoot = dir.filePath("unknown-" + QString::number(++runs));
        QVERIFY(QDir().mkpath(job.outputRoot));
        LogLines log;
        const ConversionReport report = convertImage(job, log.sink());
        QVERIFY(!report.converted);
        QCOMPARE(log.lines, QStringList());
        QCOMPARE(entriesIn(job.outputRoot), QStringList());
    }

    void layoutA2ReadsTheSecondCatalogArea()
    {
        LogicalImage image(imageSectors);
        image.clearCatalog(2);
        image.setEntry(2, 1, extentEntry(0, "TWO", "", 0, 256, "\x04"));
        image.setSector(80, plainSector('T', 1));
        const Converted result = convert(image, DiskFormat::TosA2);
        QCOMPARE(result.log, QStringList({"file TWO ", "Found 0 lost block(s)"}));
        QCOMPARE(readFile(result.folder + "TWO.dat"), plainSector('T', 1));
    }

    void lostBlocks()
    {
        LogicalImage image = emptyA4();
        // Sector 79 is never examined; 80 is.
        image.setSector(79, plainSector('A', 1));
        image.setSector(80, plainSector('B', 2));
        // Blank sectors: zeros, 0xE5; one byte off blank is not blank.
        image.setSector(81, zeros(256));
        QByteArray almostBlank(256, char(0xE5));
        almostBlank[255] = 0;
        image.setSector(82, almostBlank);
        // A basic lost file of 307 bytes: two sectors.
        const QByteArray basic = ImageBuilder::withHeader7(10, 20, pattern(300, 3));
        image.setBytes(0xc8 * 256, basic);
        image.setSector(0xca, plainSector('C', 4));
        // A number array: description, body, an empty archive.
        const QByteArray array = ImageBuilder::withHeader5(1, 10, 23000, pattern(10, 5));
        image.setSector(0xd0, array);
        // A length word of 0 means no header.
        const QByteArray noLength = ImageBuilder::withHeader5(3, 0, 32768, pattern(251, 6));
        image.setSector(0xe0, noLength);
        // Not read: never a lost block, whatever the data says.
        image.setSector(0xf0, plainSector('N', 7));
        image.map[0xf0] = 0;
        // A lost file runs across claimed and unread sectors as the data lies.
        image.setEntry(4, 1, extentEntry(0, "CLAIM", "", 0, 256, "\x41"));
        image.setSector(0x104, plainSector('K', 8));
        image.setBad(0x105);
        const QByteArray across = ImageBuilder::withHeader5(3, 600, 1, pattern(251, 9));
        image.setSector(0x103, across);

        const Converted result = convert(image);
        QCOMPARE(result.log, QStringList({"file CLAIM has 1 bad sector(s) ", "Found 3 lost block(s)"}));
        QCOMPARE(entriesIn(result.folder),
                 QStringList({"CLAIM.dat", "IMG.tap", "sector_0050.dat", "sector_0050.dat.tap",
                              "sector_0052.dat", "sector_0052.dat.tap", "sector_00c8.bas",
                              "sector_00c8.bas.inf", "sector_00c8.bas.tap", "sector_00ca.dat",
                              "sector_00ca.dat.tap", "sector_00d0.num", "sector_00d0.num.inf",
                              "sector_00d0.num.tap", "sector_00e0.dat", "sector_00e0.dat.tap",
                              "sector_0103.cod", "sector_0103.cod.inf", "sector_0103.cod.tap"}));

        QCOMPARE(readFile(result.folder + "sector_0050.dat"), plainSector('B', 2));
        QCOMPARE(readFile(result.folder + "sector_0052.dat"), almostBlank);
        QCOMPARE(readFile(result.folder + "sector_00c8.bas.inf"),
                 QByteArray("File   : sector_00c8.bas\ntype   : basic\nheader : 000a002c011400\nstart  : 10\n"
                            "len    : 300\nvars   : 20"));
        QCOMPARE(readFile(result.folder + "sector_00c8.bas"), pattern(300, 3));
        QCOMPARE(readFile(result.folder + "sector_00c8.bas.tap"), tapPair(0, "SECTOR00C8", pattern(300, 3), 10, 20));
        QCOMPARE(readFile(result.folder + "sector_00ca.dat"), plainSector('C', 4));
        QCOMPARE(readFile(result.folder + "sector_00d0.num.inf"),
                 QByteArray("File   : sector_00d0.num\ntype   : num array\nheader : 010a00d859\nstart  : 23000\n"
                            "len    : 10"));
        QCOMPARE(readFile(result.folder + "sector_00d0.num"), pattern(10, 5));
        QCOMPARE(readFile(result.folder + "sector_00d0.num.tap"), QByteArray());
        QCOMPARE(readFile(result.folder + "sector_00e0.dat"), noLength);
        QCOMPARE(readFile(result.folder + "sector_00e0.dat.tap"), tapPair(3, "SECTOR00E0", noLength, 32768, 0x8000));
        const QByteArray acrossBody = pattern(251, 9) + plainSector('K', 8) + zeros(93);
        QCOMPARE(readFile(result.folder + "sector_0103.cod"), acrossBody);
        QCOMPARE(readFile(result.folder + "sector_0103.cod.tap"), tapPair(3, "SECTOR0103", acrossBody, 1, 0x8000));
        QCOMPARE(result.report.lostBlocks, 3);
    }

    // h + L of exactly two sectors skips two; one byte more skips three.
    void lostBlockSkip_data()
    {
        QTest::addColumn<int>("length");
        QTest::addColumn<bool>("nextSectorScanned");
        QTest::newRow("h + L = 512") << 507 << true;
        QTest::newRow("h + L = 513") << 508 << false;
        QTest::newRow("h + L = 257") << 252 << true;
    }

    void lostBlockSkip()
    {
        QFETCH(int, length);
        QFETCH(bool, nextSectorScanned);
        LogicalImage image = emptyA4();
        image.setBytes(300 * 256, ImageBuilder::withHeader5(3, length, 0x4000, pattern(length, 1)));
        image.setSector(302, plainSector('M', 2));
        const Converted result = convert(image);
        QCOMPARE(readFile(result.folder + "sector_012c.cod"), image.data.mid(300 * 256 + 5, length));
        QVERIFY(!QFile::exists(result.folder + "sector_012d.dat"));
        QCOMPARE(QFile::exists(result.folder + "sector_012e.dat"), nextSectorScanned);
        QCOMPARE(result.log.last(), QString("Found 1 lost block(s)"));
    }

    // A body that ends at the end of the image is saved whole; one byte
    // more and only the start sector is saved.
    void lostBlockAtTheEndOfTheImage_data()
    {
        QTest::addColumn<int>("length");
        QTest::addColumn<QStringList>("files");
        QTest::addColumn<int>("found");
        QTest::newRow("ends exactly at the end")
            << 507 << QStringList({"IMG.tap", "sector_027e.cod", "sector_027e.cod.inf", "sector_027e.cod.tap"}) << 1;
        QTest::newRow("one byte past the end")
            << 508
            << QStringList({"IMG.tap", "sector_027e.dat", "sector_027e.dat.tap", "sector_027f.dat",
                            "sector_027f.dat.tap"})
            << 0;
    }

    void lostBlockAtTheEndOfTheImage()
    {
        QFETCH(int, length);
        QFETCH(QStringList, files);
        QFETCH(int, found);
        LogicalImage image = emptyA4();
        const QByteArray lost = ImageBuilder::withHeader5(3, length, 0x6000, pattern(507, 1));
        image.setBytes(638 * 256, lost);
        QCOMPARE(image.data.size(), 640 * 256);
        const Converted result = convert(image);
        QCOMPARE(entriesIn(result.folder), files);
        QCOMPARE(result.log, QStringList({QString("Found %1 lost block(s)").arg(found)}));
        if (found) {
            QCOMPARE(readFile(result.folder + "sector_027e.cod"), pattern(507, 1));
        } else {
            QCOMPARE(readFile(result.folder + "sector_027e.dat"), lost.left(256));
            QCOMPARE(readFile(result.folder + "sector_027f.dat"), lost.mid(256));
        }
    }

    void outputsAreReplaced()
    {
        LogicalImage image = emptyA4();
        image.setEntry(4, 1, extentEntry(0, "R", "", 0, 10, "\x14"));
        image.setSector(80, plainSector('R', 1));
        ConversionJob job = image.job("IMG", 40, DiskFormat::TosA4, dir.filePath("replace"));
        QVERIFY(QDir().mkpath(job.outputRoot + "/IMG"));
        QVERIFY(writeFile(job.outputRoot + "/IMG/R.dat", QByteArray(5000, 'o')));
        QVERIFY(writeFile(job.outputRoot + "/IMG/IMG.tap", QByteArray(5000, 'o')));
        LogLines log;
        convertImage(job, log.sink());
        QCOMPARE(readFile(job.outputRoot + "/IMG/R.dat"), plainSector('R', 1).left(10));
        QCOMPARE(QFileInfo(job.outputRoot + "/IMG/IMG.tap").size(), 0);
    }

    // Tests run as root, so a failing write is forced by a path below a
    // regular file rather than by permissions.
    void unwritableFolderLogged()
    {
        LogicalImage image = emptyA4();
        image.setEntry(4, 1, extentEntry(0, "CODE", "", 0, 105, "\x14"));
        image.setBytes(80 * 256, ImageBuilder::withHeader5(3, 100, 0, pattern(100, 1)));
        image.setEntry(4, 2, extentEntry(0, "RAW", "", 0, 100, "\x15"));
        image.setSector(84, plainSector('W', 2));
        image.setSector(0x90, plainSector('L', 3));
        const QString blocker = dir.filePath("blocker");
        QVERIFY(writeFile(blocker, "a regular file"));
        ConversionJob job = image.job("IMG", 40, DiskFormat::TosA4, blocker + "/below");
        LogLines log;
        const ConversionReport report = convertImage(job, log.sink());
        const QString folder = blocker + "/below/IMG/";
        QCOMPARE(log.lines.size(), 10);
        QVERIFY2(log.lines.at(0).startsWith("Cannot write " + blocker + "/below/IMG"), qPrintable(log.lines.at(0)));
        QCOMPARE(withoutReasons(log.lines.mid(1)),
                 QStringList({"file CODE ", "Cannot write " + folder + "CODE.cod.inf",
                              "Cannot write " + folder + "CODE.cod", "file RAW ",
                              "Cannot write " + folder + "RAW.dat", "Cannot write " + folder + "IMG.tap",
                              "Cannot write " + folder + "sector_0090.dat",
                              "Cannot write " + folder + "sector_0090.dat.tap", "Found 0 lost block(s)"}));
        QCOMPARE(report.writeFailures, 7);
        QCOMPARE(readFile(blocker), QByteArray("a regular file"));
    }

    // One output that cannot be written does not stop the others.
    void singleWriteFailureLogged()
    {
        LogicalImage image = emptyA4();
        image.setEntry(4, 1, extentEntry(0, "CODE", "", 0, 105, "\x14"));
        image.setBytes(80 * 256, ImageBuilder::withHeader5(3, 100, 0, pattern(100, 1)));
        image.setEntry(4, 2, extentEntry(0, "RAW", "", 0, 100, "\x15"));
        image.setSector(84, plainSector('W', 2));
        ConversionJob job = image.job("IMG", 40, DiskFormat::TosA4, dir.filePath("single-failure"));
        const QString folder = job.outputRoot + "/IMG/";
        QVERIFY(QDir().mkpath(folder + "CODE.cod"));
        LogLines log;
        convertImage(job, log.sink());
        QCOMPARE(withoutReasons(log.lines), QStringList({"file CODE ", "Cannot write " + folder + "CODE.cod", "file RAW ",
                                         "Found 0 lost block(s)"}));
        QVERIFY(readFile(folder + "CODE.cod.inf").startsWith("File   : CODE.cod\n"));
        QCOMPARE(readFile(folder + "RAW.dat"), plainSector('W', 2).left(100));
        QCOMPARE(readFile(folder + "IMG.tap"), tapPair(3, "CODE      ", pattern(100, 1), 0, 0x8000));
    }
};

QTEST_GUILESS_MAIN(TestConversion)
#include "test_conversion.moc"
