// Salvage when the catalog is hurt: the layout guessed from the data, files
// of deleted entries, lost files put back together across the blocks other
// files hold, and headers that must not swallow the next file.
#include "rescuetestutil.h"

#include <QTemporaryDir>
#include <QtTest>

using namespace rescuetest;

namespace {

constexpr int tracks = 40; // one side, 640 sectors, 1 KB blocks
constexpr int blockBytes = 1024;

// An A.4-numbered block's byte offset: block b starts at sector 4b.
int blockAt(int block) { return block * blockBytes; }

QByteArray codeFile(int length, int seed) { return ImageBuilder::withHeader5(3, length, 32768, pattern(length, seed)); }

// Data without a header: its first byte is no header's type.
QByteArray plainData(int length, int seed)
{
    QByteArray data = pattern(length, seed);
    data[0] = char(0x41);
    return data;
}

// An A.4 image without catalog entries holding a 2,600-byte code file (its
// body pattern(2600, 9)) in these blocks; staleTail: its last block keeps
// older bytes after the file.
void layLostFile(LogicalImage &image, const QVector<int> &blocks, bool staleTail)
{
    image.clearCatalog(4);
    const QByteArray lost = codeFile(2600, 9);
    if (staleTail)
        image.setBytes(blockAt(blocks.last()), pattern(blockBytes, 11));
    for (int n = 0; n < blocks.size(); ++n)
        image.setBytes(blockAt(blocks.at(n)), lost.mid(n * blockBytes, blockBytes));
}

// A catalog entry marked deleted: its name's first byte is 0xE5.
QByteArray deletedEntry(const QByteArray &name, const QByteArray &extension, int length, const QByteArray &blocks)
{
    QByteArray entry = extentEntry(0, name, extension, 0, length, blocks);
    entry[1] = char(0xE5);
    return entry;
}

struct Rescue
{
    QTemporaryDir dir;
    ConversionReport report;
    LogLines log;
    QByteArray states; // SectorState per sector; empty: good where read
    int tracks = ::tracks;

    void run(const LogicalImage &image, DiskFormat format, bool undelete = false, DiskFormat asked = DiskFormat::Unknown)
    {
        ConversionJob job = image.job(QStringLiteral("disk"), tracks, format, dir.path());
        job.sides = 1;
        job.salvage = true;
        job.states = states;
        ConversionOptions options = job.options();
        options.collectDetails = true;
        options.undelete = undelete;
        options.layout = asked;
        report = convertImage(job.row(), options, log.sink());
    }
    QByteArray file(const QString &name) const { return readFile(dir.path() + QStringLiteral("/disk/") + name); }
    const FileSummary *summary(const QString &file) const
    {
        for (const FileSummary &s : report.files)
            if (s.file == file)
                return &s;
        return nullptr;
    }
    bool logged(const QString &text) const
    {
        return std::any_of(log.lines.cbegin(), log.lines.cend(), [&text](const QString &l) { return l.contains(text); });
    }
};

} // namespace

class TestCatalogRepair : public QObject
{
    Q_OBJECT

private slots:
    void layoutFallback_data();
    void layoutFallback();
    void deletedFiles();
    void fragmentedLostFile_data();
    void fragmentedLostFile();
    void lostFileLeavesAnotherFilesRun_data();
    void lostFileLeavesAnotherFilesRun();
    void garbageHeaderStopsAtNextFile();
    void lostPieceVerdictFollowsItsEnd_data();
    void lostPieceVerdictFollowsItsEnd();
};

void TestCatalogRepair::layoutFallback_data()
{
    QTest::addColumn<QVector<int>>("fileBlocks"); // A.4 block numbers of code files
    QTest::addColumn<QVector<int>>("rescued");    // of those, the files the layout holds
    QTest::addColumn<int>("asked");
    QTest::addColumn<bool>("converted");
    QTest::addColumn<QString>("logText");
    QTest::addColumn<bool>("firstUnread"); // the first file's first sector not read
    QTest::addColumn<int>("diskTracks");

    QTest::newRow("files from sector 16: A.4") << QVector<int>{4, 6, 9} << QVector<int>{4, 6, 9}
                                               << int(DiskFormat::Unknown) << true
                                               << QStringLiteral("rescued as A.4, 3 file header(s)") << false << tracks;
    QTest::newRow("first file at sector 80: A.2") << QVector<int>{20, 22} << QVector<int>{20, 22}
                                                  << int(DiskFormat::Unknown) << true
                                                  << QStringLiteral("rescued as A.2, no file header in sectors 16..79") << false << tracks;
    QTest::newRow("one file inside 16..79 and one at 80: refused")
        << QVector<int>{7, 20} << QVector<int>{} << int(DiskFormat::Unknown) << false
        << QStringLiteral("TOS layout unknown and not guessed") << false << tracks;
    // A.2 keeps its system in sectors 0..63: nothing there is a file.
    QTest::newRow("asked for, against the data") << QVector<int>{7, 20} << QVector<int>{20}
                                                 << int(DiskFormat::TosA2) << true
                                                 << QStringLiteral("rescued as A.2, as asked") << false << tracks;
    // A damaged disk may lose the first file's header: the files after it,
    // at block starts, still tell.
    QTest::newRow("first file at sector 80 not read: A.2")
        << QVector<int>{20, 22, 24} << QVector<int>{22, 24} << int(DiskFormat::Unknown) << true
        << QStringLiteral("rescued as A.2, no file header in sectors 16..79, sector 80 not read") << true << tracks;
    // 80 tracks: 4 KB blocks from sector 64 in either layout, where an A.4
    // disk's first file begins and an A.2 disk keeps its catalog.
    QTest::newRow("80 tracks, first file at sector 64: A.4")
        << QVector<int>{16, 20} << QVector<int>{16, 20} << int(DiskFormat::Unknown) << true
        << QStringLiteral("rescued as A.4, one file header in sectors 16..79, at sector 64") << false << 80;
}

void TestCatalogRepair::layoutFallback()
{
    QFETCH(QVector<int>, fileBlocks);
    QFETCH(QVector<int>, rescued);
    QFETCH(int, asked);
    QFETCH(bool, converted);
    QFETCH(QString, logText);
    QFETCH(bool, firstUnread);
    QFETCH(int, diskTracks);

    LogicalImage image(diskTracks * 16);
    for (int n = 0; n < fileBlocks.size(); ++n)
        image.setBytes(blockAt(fileBlocks.at(n)), codeFile(1500, n));
    if (firstUnread)
        image.setBad(fileBlocks.first() * 4);
    Rescue rescue;
    rescue.tracks = diskTracks;
    rescue.run(image, DiskFormat::Unknown, false, DiskFormat(asked));
    QCOMPARE(rescue.report.converted, converted);
    QVERIFY2(rescue.logged(logText), qPrintable(rescue.log.lines.join(QLatin1Char('\n'))));
    if (!converted)
        return;
    // Every file the layout holds comes back whole, under the name of its
    // first sector.
    QCOMPARE(rescue.report.lostBlocks, rescued.size());
    for (int n = 0; n < fileBlocks.size(); ++n) {
        const QString name = QStringLiteral("sector_%1.cod").arg(fileBlocks.at(n) * 4, 4, 16, QLatin1Char('0'));
        if (rescued.contains(fileBlocks.at(n)))
            QCOMPARE(rescue.file(name), pattern(1500, n));
        else
            QVERIFY(!QFile::exists(rescue.dir.path() + QStringLiteral("/disk/") + name));
    }
}

void TestCatalogRepair::deletedFiles()
{
    // GAME (live) took block 6, the second block of the deleted OLD; the
    // deleted KEEP still holds its blocks 8 and 9.
    LogicalImage image(tracks * 16);
    image.clearCatalog(4);
    image.setEntry(4, 1, extentEntry(0, "GAME", "C", 0, 1005, "\x06"));
    image.setEntry(4, 2, deletedEntry("OLD", "C", 2005, "\x05\x06"));
    image.setEntry(4, 3, deletedEntry("KEEP", "C", 1505, "\x08\x09"));
    // The deleted NOTES holds data without a header in blocks 10 and 11.
    image.setEntry(4, 4, deletedEntry("NOTES", "D", 1300, "\x0a\x0b"));
    // The deleted TINY held one full sector at block 12, which later data
    // without a header took: a length that fills its sector proves nothing.
    image.setEntry(4, 5, deletedEntry("TINY", "N", 256, "\x0c"));
    const QByteArray later = plainData(2000, 12);
    image.setBytes(blockAt(12), later);
    image.setBytes(blockAt(5), codeFile(2000, 1));
    image.setBytes(blockAt(6), codeFile(1000, 2));
    image.setBytes(blockAt(8), codeFile(1500, 3));
    const QByteArray notesData = plainData(1300, 10);
    image.setBytes(blockAt(10), notesData);

    Rescue rescue;
    rescue.run(image, DiskFormat::TosA4, true);
    QCOMPARE(rescue.report.deletedFiles, 4);

    const FileSummary *reused = rescue.summary(QStringLiteral("deleted/_LD.C.cod"));
    QVERIFY(reused);
    QCOMPARE(reused->origin, FileOrigin::Deleted);
    QCOMPARE(reused->verdict, Verdict::Damaged);
    QCOMPARE(reused->bad, 4); // block 6 is GAME's now: not mixed in
    const QByteArray reusedInf = readFile(rescue.dir.path() + QStringLiteral("/disk/deleted/_LD.C.cod.inf"));
    QVERIFY2(reusedInf.endsWith("bad sec : 4,5,6,7,"), reusedInf.constData());
    QVERIFY(rescue.logged(QStringLiteral("deleted file ?LD.C: 4 sector(s) now belong to other files")));

    const FileSummary *intact = rescue.summary(QStringLiteral("deleted/_EEP.C.cod"));
    QVERIFY(intact);
    QCOMPARE(intact->verdict, Verdict::Suspect); // a deleted entry never promises its blocks
    QCOMPARE(readFile(rescue.dir.path() + QStringLiteral("/disk/deleted/_EEP.C.cod")), pattern(1500, 3));
    QCOMPARE(rescue.file(QStringLiteral("GAME.C.cod")), pattern(1000, 2));
    // What the deleted files took is not rescued again as lost data.
    QVERIFY(!rescue.summary(QStringLiteral("sector_0020.cod")));
    QVERIFY(!rescue.summary(QStringLiteral("sector_0014.cod")));
    QVERIFY(QFile::exists(rescue.dir.path() + QStringLiteral("/disk/deleted/disk.tap")));

    // Without undelete, KEEP's data is a lost file named after its entry.
    Rescue plain;
    plain.run(image, DiskFormat::TosA4, false);
    const FileSummary *named = plain.summary(QStringLiteral("lost/_EEP.C.cod"));
    QVERIFY(named);
    QCOMPARE(named->name, QStringLiteral("?EEP.C"));
    QCOMPARE(plain.file(QStringLiteral("lost/_EEP.C.cod")), pattern(1500, 3));
    // So is NOTES's, cut at the entry's length.
    const FileSummary *data = plain.summary(QStringLiteral("lost/_OTES.D.dat"));
    QVERIFY(data);
    QCOMPARE(data->verdict, Verdict::Suspect);
    QCOMPARE(plain.file(QStringLiteral("lost/_OTES.D.dat")), notesData);
    QCOMPARE(plain.file(QStringLiteral("sector_0030.dat")), later);
}

void TestCatalogRepair::fragmentedLostFile_data()
{
    QTest::addColumn<bool>("aroundLostFiles");
    QTest::addColumn<int>("secondPart"); // the file's first sector after a gap
    QTest::addColumn<bool>("staleTail");  // its last block keeps a deleted file's bytes after it
    // Blocks 5 and 7 hold the live A and B; the file took 4, 6 and 8.
    QTest::newRow("around live files") << false << 24 << false;
    // No entry is left: blocks 5 and 6 hold a lost code file, block 7 lost
    // data that ends in filler; the file took 4, 8 and 9.
    QTest::newRow("around lost files") << true << 32 << false;
    QTest::newRow("around lost files, last block reused") << true << 32 << true;
}

void TestCatalogRepair::fragmentedLostFile()
{
    QFETCH(bool, aroundLostFiles);
    QFETCH(int, secondPart);
    QFETCH(bool, staleTail);
    LogicalImage image(tracks * 16);
    layLostFile(image, {4, secondPart / 4, aroundLostFiles ? 9 : 8}, staleTail);
    const QByteArray data = plainData(700, 7);
    if (aroundLostFiles) {
        image.setBytes(blockAt(5), codeFile(1800, 5));
        image.setBytes(blockAt(7), data);
    } else {
        image.setEntry(4, 1, extentEntry(0, "A", "C", 0, 1005, "\x05"));
        image.setEntry(4, 2, extentEntry(0, "B", "C", 0, 1005, "\x07"));
        image.setBytes(blockAt(5), codeFile(1000, 5));
        image.setBytes(blockAt(7), codeFile(1000, 7));
    }

    Rescue rescue;
    rescue.run(image, DiskFormat::TosA4);
    QCOMPARE(rescue.file(QStringLiteral("sector_0010.cod")), pattern(2600, 9));
    const FileSummary *piece = rescue.summary(QStringLiteral("sector_0010.cod"));
    QVERIFY(piece);
    QCOMPARE(piece->sectors.value(4), secondPart);
    // Put together across other files' blocks: a guess, never "complete".
    QCOMPARE(piece->verdict, Verdict::Suspect);
    if (aroundLostFiles) {
        QCOMPARE(rescue.file(QStringLiteral("sector_0014.cod")), pattern(1800, 5));
        QCOMPARE(rescue.file(QStringLiteral("sector_001c.dat")), data);
    }
    QCOMPARE(rescue.report.lostBlocks, aroundLostFiles ? 2 : 1);
}

void TestCatalogRepair::lostFileLeavesAnotherFilesRun_data()
{
    QTest::addColumn<QVector<int>>("fileBlocks"); // of a lost code file written first fit
    QTest::addColumn<int>("otherBlock");          // where another file begins
    QTest::addColumn<QByteArray>("other");        // its bytes
    QTest::addColumn<bool>("named");              // a deleted entry names it
    QTest::addColumn<bool>("staleTail");          // the file's last block keeps older bytes after it
    QTest::addColumn<int>("liveBlock");           // a live one-block file, or -1
    QTest::addColumn<int>("badSector");           // a sector the image lacks, or -1
    QTest::addColumn<QString>("otherFile");       // the other file's rescued name; empty: not looked at
    // The file would end in block 6, where the data ends, but its end
    // cannot be proven where it really is: the entry keeps blocks 5 and 6.
    QTest::newRow("data a deleted entry names") << QVector<int>{4, 7, 8} << 5 << plainData(1624, 7) << true << true
                                                << -1 << -1 << QStringLiteral("lost/_OTES.D.dat");
    // Taking blocks 5 and 6 would leave block 7's end of a file without its
    // start; blocks 8 and 9 prove the file's end.
    QTest::newRow("data that ends past the file's end") << QVector<int>{4, 8, 9} << 5 << plainData(2800, 7) << false
                                                        << false << -1 << -1 << QStringLiteral("sector_0014.dat");
    // Blocks 6 to 8 hold a code file whose end was not read: after the gap
    // of block 5, its header says another file begins there.
    QTest::newRow("a file after a gap, its end not read") << QVector<int>{4, 9, 10} << 6 << codeFile(2400, 6) << false
                                                          << true << 5 << 33 << QString();
}

void TestCatalogRepair::lostFileLeavesAnotherFilesRun()
{
    QFETCH(QVector<int>, fileBlocks);
    QFETCH(int, otherBlock);
    QFETCH(QByteArray, other);
    QFETCH(bool, named);
    QFETCH(bool, staleTail);
    QFETCH(int, liveBlock);
    QFETCH(int, badSector);
    QFETCH(QString, otherFile);
    LogicalImage image(tracks * 16);
    layLostFile(image, fileBlocks, staleTail);
    image.setBytes(blockAt(otherBlock), other);
    if (named) {
        const QByteArray blocks = QByteArray().append(char(otherBlock)).append(char(otherBlock + 1));
        image.setEntry(4, 1, deletedEntry("NOTES", "D", other.size(), blocks));
    }
    if (liveBlock >= 0) {
        image.setEntry(4, 2, extentEntry(0, "A", "C", 0, 1005, QByteArray(1, char(liveBlock))));
        image.setBytes(blockAt(liveBlock), codeFile(1000, 5));
    }
    if (badSector >= 0)
        image.setBad(badSector);

    Rescue rescue;
    rescue.run(image, DiskFormat::TosA4);
    QCOMPARE(rescue.file(QStringLiteral("sector_0010.cod")), pattern(2600, 9));
    if (!otherFile.isEmpty())
        QCOMPARE(rescue.file(otherFile), other);
}

void TestCatalogRepair::garbageHeaderStopsAtNextFile()
{
    // Block 4 begins like a code header asking for 5000 bytes; a real file
    // begins in block 5, and data without a header follows in block 7.
    LogicalImage image(tracks * 16);
    image.clearCatalog(4);
    QByteArray garbage = pattern(blockBytes, 4);
    garbage.replace(0, 5, QByteArray("\x03\x88\x13\x00\x80", 5));
    image.setBytes(blockAt(4), garbage);
    image.setBytes(blockAt(5), codeFile(1800, 5));
    const QByteArray data = plainData(700, 7);
    image.setBytes(blockAt(7), data);

    Rescue rescue;
    rescue.run(image, DiskFormat::TosA4);
    QCOMPARE(rescue.file(QStringLiteral("sector_0014.cod")), pattern(1800, 5));
    // The garbage block is saved as it is, one piece, and so is the data,
    // without the formatting filler after it.
    QCOMPARE(rescue.file(QStringLiteral("sector_0010.dat")), garbage);
    QCOMPARE(rescue.file(QStringLiteral("sector_001c.dat")), data);
    QCOMPARE(rescue.report.files.size(), 3);
}

void TestCatalogRepair::lostPieceVerdictFollowsItsEnd_data()
{
    // 700 bytes in block 7 (sectors 28..30): data without a header, or a
    // code file; filler after them unless told.
    QTest::addColumn<bool>("headered");
    QTest::addColumn<int>("damaged"); // a sector read with a data error
    QTest::addColumn<int>("flipped"); // its byte read wrong, -1: none
    QTest::addColumn<bool>("dataAfter"); // the block holds more than the piece
    QTest::addColumn<bool>("endProven");
    QTest::addColumn<int>("verdict");
    QTest::addColumn<bool>("lookAlike"); // 2,600 bytes, the second block beginning like an array header
    QTest::newRow("data") << false << -1 << -1 << false << true << int(Verdict::Complete) << false;
    // A damaged copy of filler is not data; the end is then a guess.
    QTest::newRow("data, damaged filler") << false << 31 << 40 << false << false << int(Verdict::Suspect) << false;
    // A damaged sector that holds data stays.
    QTest::newRow("data, damaged data") << false << 29 << -1 << false << true << int(Verdict::Suspect) << false;
    // A wrong byte among the filler after the data's end, in the damaged
    // sector that holds that end, is not the file's.
    QTest::newRow("data, damaged end, a byte of its filler wrong")
        << false << 30 << 220 << false << true << int(Verdict::Suspect) << false;
    QTest::newRow("file, filler after it") << true << -1 << -1 << false << true << int(Verdict::Complete) << false;
    // A header look-alike inside other data, or a file whose last block is
    // another's now: the header's length proves nothing.
    QTest::newRow("file, data after it") << true << -1 << -1 << true << false << int(Verdict::Suspect) << false;
    // Array data often begins a block like a header: unproven, the look-alike
    // does not cut the file that holds it.
    QTest::newRow("file, look-alike inside") << true << -1 << -1 << false << true << int(Verdict::Complete) << true;
    // Nor does it cut data without a header.
    QTest::newRow("data, look-alike inside") << false << -1 << -1 << false << true << int(Verdict::Complete) << true;
}

void TestCatalogRepair::lostPieceVerdictFollowsItsEnd()
{
    QFETCH(bool, headered);
    QFETCH(int, damaged);
    QFETCH(int, flipped);
    QFETCH(bool, dataAfter);
    QFETCH(bool, endProven);
    QFETCH(int, verdict);
    QFETCH(bool, lookAlike);
    LogicalImage image(tracks * 16);
    image.clearCatalog(4);
    if (dataAfter)
        image.setBytes(blockAt(7), pattern(blockBytes, 8));
    const int length = lookAlike ? 2600 : 700;
    QByteArray contents = headered ? codeFile(length, 10) : plainData(length, 7);
    if (lookAlike)
        contents.replace(blockBytes, 5, QByteArray("\x01\x00\x02\x00\x00", 5));
    const QByteArray body = headered ? contents.mid(5) : contents;
    image.setBytes(blockAt(7), contents);
    Rescue rescue;
    if (damaged >= 0) {
        rescue.states = QByteArray(tracks * 16, char(SectorState::Good));
        rescue.states[damaged] = char(SectorState::Suspect);
        if (flipped >= 0)
            image.data[damaged * 256 + flipped] = char(0xE4);
    }
    rescue.run(image, DiskFormat::TosA4);
    const QString name = headered ? QStringLiteral("sector_001c.cod") : QStringLiteral("sector_001c.dat");
    QCOMPARE(rescue.file(name), body);
    const FileSummary *piece = rescue.summary(name);
    QVERIFY(piece);
    QCOMPARE(int(piece->verdict), verdict);
    QCOMPARE(rescue.logged(QStringLiteral("its end not proven")), !endProven);
    QCOMPARE(rescue.report.files.size(), 1);
}

QTEST_GUILESS_MAIN(TestCatalogRepair)
#include "test_catalogrepair.moc"
