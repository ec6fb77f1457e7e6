#include "rescue/catalog.h"
#include "rescuetestutil.h"
#include "tap/libtap.h"

#include <QTemporaryDir>
#include <QTest>

using namespace rescuetest;

namespace {

QByteArray emptyCatalog()
{
    return QByteArray(catalogSize, '\0');
}

void putEntry(QByteArray &catalog, int index, const QByteArray &entry)
{
    catalog.replace(index * 32, 32, entry);
}

QByteArray entry(quint8 owner, const QByteArray &name, const QByteArray &ext, quint8 extent,
                 int length, const QByteArray &blocks)
{
    return extentEntry(owner, name, ext, extent, length, blocks);
}

QStringList namesOf(const QVector<TosFile> &files)
{
    QStringList names;
    for (const TosFile &file : files)
        names.append(file.name);
    return names;
}

QByteArray blocksOf(const QByteArray &catalog, const QByteArray &key, int &length)
{
    length = -12345;
    return fileBlocks(catalog, key, length);
}

QVector<quint32> range(quint32 first, int count)
{
    QVector<quint32> sectors;
    for (int i = 0; i < count; ++i)
        sectors.append(first + quint32(i));
    return sectors;
}

} // namespace

// The TOS catalog: which entries are files, their names, extents and sectors.
class TestCatalog : public QObject
{
    Q_OBJECT

    QTemporaryDir dir;

private slots:
    void initTestCase() { QVERIFY(dir.isValid()); }

    void walkKeepsOnlyFileEntries()
    {
        QByteArray catalog = emptyCatalog();
        putEntry(catalog, 0, entry(0, "FIRST", "", 0, 10, "\x01"));
        putEntry(catalog, 1, entry(0, QByteArray("\0ABC", 4), "B", 0, 10, "\x02"));
        putEntry(catalog, 2, entry(0, "\xe5" "DELETED", "B", 0, 10, "\x03"));
        putEntry(catalog, 3, entry(0, "ORPHAN", "C", 1, 10, "\x04"));
        putEntry(catalog, 4, entry(0, "FOLDER", "DIR", 0, 10, "\x05"));
        putEntry(catalog, 5, entry(0, "SUB", "dir", 0, 10, "\x06"));
        putEntry(catalog, 6, entry(10, "GAME", "B", 0, 10, "\x07"));
        putEntry(catalog, 7, entry(1, "ONE", "", 0, 10, "\x08"));
        putEntry(catalog, 8, entry(15, "LAST", "", 0, 10, "\x09"));
        putEntry(catalog, 9, entry(16, "NOPREFIX", "", 0, 10, "\x0a"));
        putEntry(catalog, 10, entry(0xE5, "DELOWNER", "", 0, 10, "\x0b"));
        putEntry(catalog, 11, entry(0, "PART", "C", 2, 10, "\x0c"));
        putEntry(catalog, 12, entry(0, "HIDDEN", "\xc4I\xd2", 0, 10, "\x0e"));
        putEntry(catalog, 13, entry(0, "SPACED", " DI", 0, 10, "\x0f"));
        putEntry(catalog, 127, entry(0, "END", "X", 0, 10, "\x0d"));
        const QVector<TosFile> files = catalogFiles(catalog);
        QCOMPARE(namesOf(files), QStringList({"FIRST", "SUB.dir", "0a_GAME.B", "01_ONE", "0f_LAST",
                                              "NOPREFIX", "DELOWNER", "SPACED.DI", "END.X"}));
        QCOMPARE(files.at(2).key, QByteArray("GAME    B  "));
    }

    void namesTrimmedAndDecoded_data()
    {
        QTest::addColumn<QByteArray>("entryBytes");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("key");
        QTest::newRow("spaces around")
            << ImageBuilder::catalogEntry(0, "  AB    ", " C ", 0, 0, 1, "\x01") << "AB.C"
            << QByteArray("  AB     C ");
        QTest::newRow("zero ends the name")
            << ImageBuilder::catalogEntry(0, QByteArray("AB\0CD   ", 8), "C", 0, 0, 1, "\x01") << "AB.C"
            << QByteArray("AB\0CD   C  ", 11);
        QTest::newRow("zero first in extension")
            << ImageBuilder::catalogEntry(0, "NAME", QByteArray("\0BC", 3), 0, 0, 1, "\x01") << "NAME"
            << QByteArray("NAME    \0BC", 11);
        QTest::newRow("blank extension")
            << ImageBuilder::catalogEntry(0, "NAME", "   ", 0, 0, 1, "\x01") << "NAME"
            << QByteArray("NAME       ");
        QTest::newRow("extension attribute bits cleared")
            << ImageBuilder::catalogEntry(0, "NAME", "\xc2\xa0\xa0", 0, 0, 1, "\x01") << "NAME.B"
            << QByteArray("NAME    B  ");
        QTest::newRow("name bytes with bit 7 decoded as UTF-8")
            << ImageBuilder::catalogEntry(0, "CAF\xc3\x89", "", 0, 0, 1, "\x01")
            << QString::fromUtf8("CAF\u00c9") << QByteArray("CAFC\x09      ");
        QTest::newRow("placeholder text kept")
            << ImageBuilder::catalogEntry(0, "A%2", "%1", 0, 0, 1, "\x01") << "A%2.%1"
            << QByteArray("A%2     %1 ");
        QTest::newRow("path separators mended")
            << ImageBuilder::catalogEntry(0, "../../x", "", 0, 0, 1, "\x01") << ".._.._x"
            << QByteArray("../../x    ");
        QTest::newRow("backslashes mended")
            << ImageBuilder::catalogEntry(3, "..\\a\\b", "\\/", 0, 0, 1, "\x01") << "03_.._a_b.__"
            << QByteArray("..\\a\\b  \\/ ");
    }

    void namesTrimmedAndDecoded()
    {
        QFETCH(QByteArray, entryBytes);
        QFETCH(QString, name);
        QFETCH(QByteArray, key);
        QByteArray catalog = emptyCatalog();
        putEntry(catalog, 4, entryBytes);
        const QVector<TosFile> files = catalogFiles(catalog);
        QCOMPARE(files.size(), 1);
        QCOMPARE(files.at(0).name, name);
        QCOMPARE(files.at(0).key, key);
    }

    void extentsFollowedInExtentOrder()
    {
        QByteArray catalog = emptyCatalog();
        putEntry(catalog, 9, entry(0, "LONG", "C", 1, 2048, "\x03\x04"));
        putEntry(catalog, 2, entry(0, "LONG", "C", 2, 100, "\x05"));
        putEntry(catalog, 5, entry(0, "LONG", "C", 0, 2048, "\x01\x02"));
        putEntry(catalog, 6, entry(0, "OTHER", "C", 3, 100, "\x09"));
        int length = 0;
        QCOMPARE(blocksOf(catalog, "LONG    C  ", length), QByteArray("\x01\x02\x03\x04\x05"));
        QCOMPARE(length, 4196);
        QCOMPARE(namesOf(catalogFiles(catalog)), QStringList({"LONG.C"}));
    }

    void lowerIndexWinsForDuplicateExtent()
    {
        QByteArray catalog = emptyCatalog();
        putEntry(catalog, 1, entry(0, "DUP", "", 0, 1024, "\x01"));
        putEntry(catalog, 7, entry(0, "DUP", "", 1, 300, "\x07"));
        putEntry(catalog, 3, entry(0, "DUP", "", 1, 200, "\x03"));
        int length = 0;
        QCOMPARE(blocksOf(catalog, "DUP        ", length), QByteArray("\x01\x03"));
        QCOMPARE(length, 1224);
    }

    void missingExtentEndsTheFile()
    {
        QByteArray catalog = emptyCatalog();
        putEntry(catalog, 1, entry(0, "GAP", "", 0, 1024, "\x01"));
        putEntry(catalog, 2, entry(0, "GAP", "", 2, 1024, "\x02"));
        putEntry(catalog, 3, entry(0, "GAP", "", 3, 1024, "\x03"));
        int length = 0;
        QCOMPARE(blocksOf(catalog, "GAP        ", length), QByteArray("\x01"));
        QCOMPARE(length, 1024);
    }

    void entryZeroNeverSearched()
    {
        QByteArray catalog = emptyCatalog();
        putEntry(catalog, 0, entry(0, "ZERO", "", 0, 1024, "\x01"));
        int length = 0;
        QCOMPARE(blocksOf(catalog, "ZERO       ", length), QByteArray());
        QCOMPARE(length, 0);
        QCOMPARE(namesOf(catalogFiles(catalog)), QStringList({"ZERO"}));

        // An extent 1 in entry 0 does not continue a file either.
        putEntry(catalog, 0, entry(0, "TWO", "", 1, 1024, "\x05"));
        putEntry(catalog, 4, entry(0, "TWO", "", 0, 1024, "\x04"));
        QCOMPARE(blocksOf(catalog, "TWO        ", length), QByteArray("\x04"));
        QCOMPARE(length, 1024);
    }

    void bit7IgnoredInTheMatch()
    {
        QByteArray catalog = emptyCatalog();
        putEntry(catalog, 1, entry(0, "CAF\xc3\x89", "\xc2\x20\x20", 0, 1024, "\x01"));
        putEntry(catalog, 2, entry(0, "CAF\x43\x09", "B", 1, 512, "\x02"));
        putEntry(catalog, 3, entry(0, "C\xc1\xc6\x43\x89", "\xc2", 2, 256, "\x03"));
        const QVector<TosFile> files = catalogFiles(catalog);
        QCOMPARE(files.size(), 1);
        QCOMPARE(files.at(0).name, QString::fromUtf8("CAF\u00c9.B"));
        int length = 0;
        QCOMPARE(blocksOf(catalog, files.at(0).key, length), QByteArray("\x01\x02\x03"));
        QCOMPARE(length, 1792);
        // A key given with bit 7 set matches the same extents.
        QCOMPARE(blocksOf(catalog, QByteArray("\xc3\xc1\xc6\xc3\x89        ").left(8) + "\xc2  ", length),
                 QByteArray("\x01\x02\x03"));
    }

    void ownerTakesNoPartInTheMatch()
    {
        QByteArray catalog = emptyCatalog();
        putEntry(catalog, 1, entry(0, "SAME", "B", 0, 1024, "\x01"));
        putEntry(catalog, 2, entry(3, "SAME", "B", 0, 1024, "\x02"));
        const QVector<TosFile> files = catalogFiles(catalog);
        QCOMPARE(namesOf(files), QStringList({"SAME.B", "03_SAME.B"}));
        int length = 0;
        QCOMPARE(blocksOf(catalog, files.at(0).key, length), QByteArray("\x01"));
        QCOMPARE(blocksOf(catalog, files.at(1).key, length), QByteArray("\x01"));
    }

    void blockListEndsAtZero()
    {
        QByteArray catalog = emptyCatalog();
        putEntry(catalog, 1, entry(0, "Z", "", 0, 4096, QByteArray("\x01\x02\x00\x04", 4)));
        int length = 0;
        QCOMPARE(blocksOf(catalog, "Z          ", length), QByteArray("\x01\x02"));
        // All sixteen block bytes are used when none is zero.
        QByteArray sixteen;
        for (int b = 1; b <= 16; ++b)
            sixteen.append(char(b + 200));
        putEntry(catalog, 2, entry(0, "Y", "", 0, 16384, sixteen));
        QCOMPARE(blocksOf(catalog, "Y          ", length), sixteen);
        QCOMPARE(length, 16384);
    }

    void extentLengths_data()
    {
        QTest::addColumn<int>("lastBytes");
        QTest::addColumn<int>("records");
        QTest::addColumn<int>("length");
        QTest::newRow("full records") << 0 << 3 << 384;
        QTest::newRow("last sector shortened") << 100 << 3 << 228;
        QTest::newRow("high record byte") << 0 << 0x100 << 32768;
        QTest::newRow("both record bytes") << 0 << 0x181 << 49280;
        QTest::newRow("no records, shortened") << 200 << 0 << -56;
    }

    void extentLengths()
    {
        QFETCH(int, lastBytes);
        QFETCH(int, records);
        QFETCH(int, length);
        QByteArray catalog = emptyCatalog();
        putEntry(catalog, 1, ImageBuilder::catalogEntry(0, "L", "", 0, quint8(lastBytes), records, "\x01"));
        putEntry(catalog, 2, ImageBuilder::catalogEntry(0, "L", "", 1, 0, 1, "\x02"));
        int found = 0;
        QCOMPARE(blocksOf(catalog, "L          ", found), QByteArray("\x01\x02"));
        QCOMPARE(found, length + 128);
    }

    void unknownKeyGivesNothing()
    {
        QByteArray catalog = emptyCatalog();
        putEntry(catalog, 1, entry(0, "HERE", "", 0, 1024, "\x01"));
        int length = 0;
        QCOMPARE(blocksOf(catalog, "THERE      ", length), QByteArray());
        QCOMPARE(length, 0);
    }

    static CatalogLayout layoutOf(int variant, bool large)
    {
        CatalogLayout layout;
        layout.variant = variant == 2 ? CatalogLayout::Variant::A2 : CatalogLayout::Variant::A4;
        layout.large = large;
        return layout;
    }

    void blockSectorsByLayout()
    {
        // 1 KB blocks: four sectors from base 64 (A.2) or 0 (A.4).
        QCOMPARE(blockSectors("\x01", layoutOf(2, false)), range(68, 4));
        QCOMPARE(blockSectors("\x01", layoutOf(4, false)), range(4, 4));
        QCOMPARE(blockSectors(QByteArray("\x00", 1), layoutOf(2, false)), range(64, 4));
        // 4 KB blocks from sector 64 on a large disk, for both variants.
        QCOMPARE(blockSectors("\x01", layoutOf(2, true)), range(80, 16));
        QCOMPARE(blockSectors("\x01", layoutOf(4, true)), range(80, 16));
        QCOMPARE(blockSectors("\xff", layoutOf(4, true)), range(64 + 255 * 16, 16));
        QCOMPARE(blockSectors("\xff", layoutOf(4, false)), range(1020, 4));
        // Block order kept, nothing removed or sorted.
        QCOMPARE(blockSectors("\x03\x01\x03", layoutOf(4, false)), range(12, 4) + range(4, 4) + range(12, 4));
        QCOMPARE(blockSectors(QByteArray(), layoutOf(2, true)), QVector<quint32>());
    }

    // Exactly 50 tracks still means 1 KB blocks; 51 tracks mean 4 KB blocks
    // from sector 64, also for an A.4 catalog.
    void trackCountChoosesBlockSize_data()
    {
        QTest::addColumn<int>("tracks");
        QTest::addColumn<int>("firstSector");
        QTest::newRow("50 tracks") << 50 << 8;
        QTest::newRow("51 tracks") << 51 << 96;
        QTest::newRow("80 tracks") << 80 << 96;
    }

    void trackCountChoosesBlockSize()
    {
        QFETCH(int, tracks);
        QFETCH(int, firstSector);
        LogicalImage image(80 * 2 * 16);
        image.clearCatalog(4);
        image.setEntry(4, 1, entry(0, "F", "", 0, 1024, "\x02"));
        image.setBytes(8 * 256, "A" + pattern(4095, 1));
        image.setBytes(96 * 256, "B" + pattern(4095, 2));
        const QString root = dir.filePath(QString::number(tracks));
        LogLines log;
        convertImage(image.job("IMG", tracks, DiskFormat::TosA4, root), log.sink());
        QCOMPARE(readFile(root + "/IMG/F.dat"), image.data.mid(firstSector * 256, 1024));
    }

    // Catalog bytes are data: a name that looks like a placeholder is shown
    // as it stands in the log line and in the description.
    void placeholderNamesShownUnchanged()
    {
        LogicalImage image(640);
        image.clearCatalog(4);
        image.setEntry(4, 1, entry(0, "A%2", "", 0, 105, "\x14"));
        image.setBytes(80 * 256, ImageBuilder::withHeader5(3, 100, 32768, pattern(100, 5)));
        image.setBad(81);
        image.setEntry(4, 2, entry(0, "B%1%2", "%3", 0, 105, "\x15"));
        image.setBytes(84 * 256, ImageBuilder::withHeader5(3, 100, 16384, pattern(100, 6)));
        const QString root = dir.filePath("placeholders");
        LogLines log;
        convertImage(image.job("P%1", 40, DiskFormat::TosA4, root), log.sink());
        QCOMPARE(log.lines, QStringList({"file A%2 has 1 bad sector(s) ", "file B%1%2.%3 ",
                                         "Found 0 lost block(s)"}));
        QCOMPARE(readFile(root + "/P%1/A%2.cod.inf"),
                 QByteArray("File   : A%2.cod\ntype   : code\nheader : 0364000080\nstart  : 32768\n"
                            "len    : 100\nbad sec : 1,"));
        QCOMPARE(readFile(root + "/P%1/B%1%2.%3.cod.inf"),
                 QByteArray("File   : B%1%2.%3.cod\ntype   : code\nheader : 0364000040\n"
                            "start  : 16384\nlen    : 100"));
        QVERIFY(QFile::exists(root + "/P%1/P%1.tap"));
    }

    // Output names come from catalog bytes; none of them may leave the
    // image folder.
    void hostileNamesStayInTheImageFolder()
    {
        LogicalImage image(640);
        image.clearCatalog(4);
        image.setEntry(4, 1, entry(0, "../../x", "", 0, 105, "\x14"));
        image.setBytes(80 * 256, ImageBuilder::withHeader5(3, 100, 32768, pattern(100, 7)));
        image.setEntry(4, 2, entry(0, "..\\..\\y", "", 0, 50, "\x15"));
        image.setBytes(84 * 256, "D" + pattern(49, 8));
        image.setEntry(4, 3, entry(2, "..", "/..", 0, 50, "\x16"));
        image.setBytes(88 * 256, "E" + pattern(49, 9));
        image.setEntry(4, 4, entry(0, "/tmp/z", "", 0, 50, "\x17"));
        image.setBytes(92 * 256, "F" + pattern(49, 10));

        QTemporaryDir outer;
        QVERIFY(outer.isValid());
        const QString root = outer.filePath("level1/level2");
        QVERIFY(QDir().mkpath(root));
        LogLines log;
        convertImage(image.job("IMG", 40, DiskFormat::TosA4, root), log.sink());

        QCOMPARE(entriesIn(outer.path()), QStringList({"level1"}));
        QCOMPARE(entriesIn(outer.filePath("level1")), QStringList({"level2"}));
        QCOMPARE(entriesIn(root), QStringList({"IMG"}));
        QCOMPARE(entriesIn(root + "/IMG"),
                 QStringList({".._.._x.cod", ".._.._x.cod.inf", ".._.._y.dat", "02_..._...dat",
                              "IMG.tap", "_tmp_z.dat"}));
        QCOMPARE(readFile(root + "/IMG/.._.._x.cod"), pattern(100, 7));
        QCOMPARE(readFile(root + "/IMG/.._.._y.dat"), "D" + pattern(49, 8));
        // Only the path is mended: the description and the tape keep the catalog's name.
        QVERIFY(readFile(root + "/IMG/.._.._x.cod.inf").startsWith("File   : ../../x.cod\n"));
        QCOMPARE(readFile(root + "/IMG/IMG.tap"), tapPair(3, "../../X   ", pattern(100, 7), 32768, 0x8000));
        QVERIFY(!QFile::exists("/tmp/z.dat"));
    }
};

QTEST_GUILESS_MAIN(TestCatalog)
#include "test_catalog.moc"
