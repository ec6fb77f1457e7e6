// Salvage of damaged disks: weak sectors and data errors, the majority of
// copies, merging several reads, the best image and the sector report.
#include "batchtestutil.h"
#include "damageddisk.h"
#include "disk/physicaldisk.h"
#include "imagebuilder.h"
#include "mainwindow.h"
#include "rescue/merge.h"
#include "rescue/report.h"
#include "rescuetestutil.h"
#include "views/mappicture.h"

#include <QImage>

#include <algorithm>
#include <QRegularExpression>
#include <QSet>

#include <QApplication>
#include <QItemSelectionModel>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QStatusBar>
#include <QTableWidget>
#include <QTimer>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

using namespace batchtest;
using rescuetest::extentEntry;
using rescuetest::pattern;

namespace {

PhysicalDisk oneSector(int state, const QByteArray &value, int tracks = 1)
{
    PhysicalDisk disk(tracks, 1);
    disk.sectors.setRead(0, SectorState(state), 1, 1);
    const QByteArray bytes = value.leftJustified(256, '\0');
    std::copy(bytes.constBegin(), bytes.constEnd(), disk.sectors.sectorDataForWrite(0));
    return disk;
}

// Code blocks with headers filling count sectors exactly, each block at
// most 235 sectors: what the rescue saves as a few lost blocks.
QByteArray lostCode(int count)
{
    QByteArray bytes;
    for (int block = 0; count > 0; ++block) {
        const int sectors = qMin(count, 235);
        bytes += ImageBuilder::withHeader5(3, sectors * 256 - 5, 32768, pattern(sectors * 256 - 5, block + 3));
        count -= sectors;
    }
    return bytes;
}

// A TOS disk as a controller reads it whole: the 40-track one-sided A.4
// disk of DamagedDisk, or an 80-track double-sided A.2 disk with one file.
// A full disk holds data in every sector but the empty catalog sectors:
// the one file, lost blocks from sector 80 on, a pattern elsewhere.
ImageBuilder tosDisk(int tracks, bool full)
{
    if (tracks == 40) {
        DamagedDisk disk;
        if (full) {
            disk.image.setLogicalBytes(20 * 256, pattern(60 * 256, 2), false);
            disk.image.setLogicalBytes(80 * 256, lostCode(640 - 80), false);
        }
        return disk.image;
    }
    ImageBuilder disk(80, 2);
    if (full) {
        disk.setLogicalBytes(0, pattern(112 * 256, 2), true);
        disk.setLogicalBytes(112 * 256, lostCode(2560 - 112), true);
    }
    disk.setLogicalBytes(64 * 256, QByteArray(4096, '\0'), true);
    const QByteArray file = ImageBuilder::withHeader5(3, 6000, 24576, pattern(6000, 1));
    disk.setLogicalBytes(64 * 256 + 32, extentEntry(0, "WIDE", "C", 0, file.size(), "\x01\x02"), true);
    disk.setLogicalBytes(80 * 256, file, true);
    return disk;
}

// Changes one byte of count sectors, from the last track down, away from
// the catalog and the files: sectors a good read stores otherwise.
void changeSectors(ImageBuilder &image, int count)
{
    const int perTrack = 16 * image.sides();
    for (int k = 0; k < count; ++k) {
        ImageBuilder::Sector *sector = image.sector(image.tracks() - 1 - k / perTrack, k / 16 % image.sides(), k % 16);
        sector->data[0] = char(sector->data.at(0) ^ 0xFF);
    }
}

} // namespace

class TestSalvage : public QObject
{
    Q_OBJECT

    QTemporaryDir scratch;
    int runs = 0;

    QString folder()
    {
        const QString path = scratch.filePath(QString::number(++runs));
        QDir().mkpath(path);
        return path;
    }

    QString write(const QString &dir, const QString &name, const QByteArray &bytes)
    {
        const QString path = dir + "/" + name;
        if (!writeFile(path, bytes))
            qFatal("cannot write %s", qPrintable(path));
        return path;
    }

    InProcessRun rescue(const QStringList &images, const QString &output, const BatchMode &mode)
    {
        BatchOptions options;
        options.images = images;
        options.outputRoot = output;
        options.mode = mode;
        return runInProcess(options);
    }

    // Two reads of one disk as files read1.dsk and read2.dsk: the first
    // lacks lostTracks tracks from track 2 on, the second stores differing
    // sectors otherwise than the first.
    QStringList twoReads(const QString &dir, int tracks, bool full, int lostTracks, int differing)
    {
        ImageBuilder first = tosDisk(tracks, full);
        for (int t = 2; t < 2 + lostTracks; ++t)
            for (int s = 0; s < first.sides(); ++s)
                first.removeTrack(t, s);
        ImageBuilder second = tosDisk(tracks, full);
        changeSectors(second, differing);
        return {write(dir, "read1.dsk", first.edsk()), write(dir, "read2.dsk", second.edsk())};
    }

    // A read of a damaged disk (sector 17 missing) and a read of another
    // disk, both of 40 tracks on one side.
    QStringList readsOfTwoDisks(const QString &dir)
    {
        DamagedDisk damaged;
        damaged.remove(17);
        return {write(dir, "read1.dsk", damaged.image.edsk()), write(dir, "other.dsk", smallTosDisk())};
    }

    static QTableWidget *table(MainWindow &window) { return window.findChild<QTableWidget *>("dskList"); }

private slots:
    void initTestCase() { QVERIFY(scratch.isValid()); }

    // A track block above 4352 bytes: accepted when weak copies make it
    // large, in every mode; still refused for larger sectors.
    void largeTracks_data()
    {
        QTest::addColumn<int>("length");
        QTest::addColumn<int>("sizeCode");
        QTest::addColumn<bool>("salvage");
        QTest::addColumn<int>("missing"); // -6: refused
        QTest::newRow("two copies") << 512 << 1 << false << 1;
        QTest::newRow("two copies, salvage") << 512 << 1 << true << 0;
        QTest::newRow("three copies, salvage") << 768 << 1 << true << 0;
        QTest::newRow("a 512-byte sector") << 512 << 2 << true << -6;
        QTest::newRow("not a multiple of 256") << 600 << 1 << true << -6;
    }

    void largeTracks()
    {
        QFETCH(int, length);
        QFETCH(int, sizeCode);
        QFETCH(bool, salvage);
        ImageBuilder image(40, 1);
        ImageBuilder::Sector *sector = image.sector(5, 0, 3);
        sector->data = sector->data.repeated(length / 256) + QByteArray(length % 256, 'x');
        sector->sizeCode = sizeCode;
        libdsk dsk;
        dsk.setSalvage(salvage);
        QTEST(dsk.openData(image.edsk(), "large"), "missing");
    }

    void sectorStates_data()
    {
        QTest::addColumn<int>("st1");
        QTest::addColumn<int>("st2");
        QTest::addColumn<int>("storedLength");
        QTest::addColumn<int>("copies");
        QTest::addColumn<bool>("copiesDiffer");
        QTest::addColumn<bool>("standardDsk");
        QTest::addColumn<int>("state");
        QTest::newRow("clean") << 0 << 0 << -1 << 1 << false << false << 1;
        QTest::newRow("ST1 data error") << 0x20 << 0 << -1 << 1 << false << false << 2;
        QTest::newRow("ST2 data error") << 0 << 0x20 << -1 << 1 << false << false << 2;
        // The controller found no address mark or no data: the stored bytes are
        // filler, never the sector.
        QTest::newRow("no data, no data mark") << 0x04 << 0x01 << -1 << 1 << false << false << 0;
        QTest::newRow("no address mark") << 0x01 << 0 << -1 << 1 << false << false << 0;
        QTest::newRow("other status bits") << 0x80 << 0x40 << -1 << 1 << false << false << 1;
        QTest::newRow("partial length") << 0 << 0 << 128 << 1 << false << false << 2;
        QTest::newRow("copies alike") << 0 << 0 << -1 << 3 << false << false << 1;
        QTest::newRow("copies differ") << 0 << 0 << -1 << 3 << true << false << 2;
        QTest::newRow("copies alike, data error") << 0x20 << 0 << -1 << 2 << false << false << 2;
        QTest::newRow("standard DSK has no status") << 0x20 << 0x20 << -1 << 1 << false << true << 1;
    }

    void sectorStates()
    {
        QFETCH(int, st1);
        QFETCH(int, st2);
        QFETCH(int, storedLength);
        QFETCH(int, copies);
        QFETCH(bool, copiesDiffer);
        QFETCH(bool, standardDsk);
        ImageBuilder image(40, 1);
        ImageBuilder::Sector *sector = image.sector(2, 0, 9);
        sector->st1 = quint8(st1);
        sector->st2 = quint8(st2);
        QByteArray data;
        for (int c = 0; c < copies; ++c)
            data += QByteArray(256, char(copiesDiffer ? 'a' + c : 'a'));
        sector->data = storedLength > 0 ? data.left(storedLength) : data;
        libdsk dsk;
        dsk.setSalvage(true);
        QVERIFY(dsk.openData(standardDsk ? image.dsk() : image.edsk(), "states") >= 0);
        QTEST(int(dsk.sectorState(2, 0, 9)), "state");
        QCOMPARE(int(dsk.sectorState(2, 0, 8)), 1);
        QCOMPARE(int(dsk.sectorState(41, 0, 0)), 0);
    }

    // Byte by byte, the value most copies hold; ties go to the first copy.
    void majorityOfCopies_data()
    {
        QTest::addColumn<QList<QByteArray>>("copies");
        QTest::addColumn<QByteArray>("value");
        QTest::addColumn<int>("agreeing");
        QTest::newRow("two of three") << QList<QByteArray>{"A", "A", "B"} << QByteArray("A") << 2;
        QTest::newRow("later majority") << QList<QByteArray>{"A", "B", "B"} << QByteArray("B") << 2;
        QTest::newRow("tie of two") << QList<QByteArray>{"A", "B"} << QByteArray("A") << 1;
        QTest::newRow("tie of three") << QList<QByteArray>{"A", "B", "C"} << QByteArray("A") << 1;
        QTest::newRow("two against two") << QList<QByteArray>{"B", "A", "A", "B"} << QByteArray("B") << 2;
        QTest::newRow("each byte apart") << QList<QByteArray>{"xy", "zy", "zw"} << QByteArray("zy") << 1;
    }

    void majorityOfCopies()
    {
        QFETCH(QList<QByteArray>, copies);
        QFETCH(QByteArray, value);
        ImageBuilder image(40, 1);
        ImageBuilder::Sector *sector = image.sector(1, 0, 4);
        sector->data.clear();
        for (const QByteArray &copy : copies)
            sector->data += copy.leftJustified(256, '.');
        libdsk dsk;
        dsk.setSalvage(true);
        QCOMPARE(dsk.openData(image.edsk(), "weak"), 0);
        QCOMPARE(dsk.sector(1, 0, 4), value.leftJustified(256, '.'));
        QTEST(dsk.agreeingCopies(1, 0, 4), "agreeing");
    }

    // Merge precedence: good before suspect before missing; good reads
    // that disagree are a conflict.
    void mergePrecedence_data()
    {
        QTest::addColumn<QList<int>>("states");
        QTest::addColumn<QList<QByteArray>>("values");
        QTest::addColumn<int>("state");
        QTest::addColumn<QByteArray>("value");
        QTest::addColumn<int>("supplier");
        QTest::addColumn<bool>("conflict");
        QTest::newRow("good before suspect") << QList<int>{1, 2} << QList<QByteArray>{"X", "Y"} << 1 << QByteArray("X") << 1 << false;
        QTest::newRow("suspect then good") << QList<int>{2, 1} << QList<QByteArray>{"Y", "X"} << 1 << QByteArray("X") << 2 << false;
        QTest::newRow("good reads agree") << QList<int>{1, 1} << QList<QByteArray>{"X", "X"} << 1 << QByteArray("X") << 1 << false;
        QTest::newRow("conflict, majority") << QList<int>{1, 1, 1} << QList<QByteArray>{"X", "Y", "Y"} << 2 << QByteArray("Y") << 2 << true;
        QTest::newRow("conflict, tie") << QList<int>{1, 1} << QList<QByteArray>{"X", "Y"} << 2 << QByteArray("X") << 1 << true;
        QTest::newRow("suspect majority by byte") << QList<int>{2, 2, 2} << QList<QByteArray>{"ab", "cb", "cd"} << 2 << QByteArray("cb") << 1 << false;
        QTest::newRow("missing everywhere") << QList<int>{0, 0} << QList<QByteArray>{"", ""} << 0 << QByteArray() << 0 << false;
        QTest::newRow("missing and suspect") << QList<int>{0, 2} << QList<QByteArray>{"", "S"} << 2 << QByteArray("S") << 2 << false;
        // No good copy and the suspect copies tie byte by byte: the earliest
        // suspect read's value, credited to it.
        QTest::newRow("suspect copies tie") << QList<int>{0, 2, 2} << QList<QByteArray>{"", "AB", "CD"} << 2 << QByteArray("AB") << 2 << false;
        QTest::newRow("suspect tie, then a third") << QList<int>{2, 2, 2} << QList<QByteArray>{"AB", "CD", "CB"} << 2 << QByteArray("CB") << 1 << false;
    }

    void mergePrecedence()
    {
        QFETCH(QList<int>, states);
        QFETCH(QList<QByteArray>, values);
        QFETCH(int, state);
        QFETCH(QByteArray, value);
        QVector<PhysicalDisk> reads;
        QStringList names;
        for (int r = 0; r < states.size(); ++r) {
            reads << oneSector(states.at(r), values.at(r));
            names << QStringLiteral("read%1").arg(r + 1);
        }
        QStringList log;
        const PhysicalDisk merged = mergeReads(reads, names, [&log](const LogEntry &e) { log << e.parts.value(0).text; });
        QCOMPARE(int(merged.sectors.state(0)), state);
        QCOMPARE(merged.sectors.bytes().left(256), value.leftJustified(256, '\0'));
        QTEST(merged.sectors.supplier(0), "supplier");
        QTEST(!log.filter("good reads disagree").isEmpty(), "conflict");
        QVERIFY(log.last().startsWith(QStringLiteral("Merged %1 reads: ").arg(states.size())));
    }

    // Hundreds of reads: the one good read is credited by its own number,
    // in the merge and in the sector report.
    void manyReadsCreditTheRightRead()
    {
        QVector<PhysicalDisk> reads;
        QStringList names;
        for (int r = 1; r <= 300; ++r) {
            reads << oneSector(r == 300 ? 1 : 0, r == 300 ? "LAST" : "");
            names << QStringLiteral("read%1").arg(r);
        }
        const PhysicalDisk merged = mergeReads(reads, names, [](const LogEntry &) {});
        QCOMPARE(merged.sectors.supplier(0), 300);
        ImageRow row = buildImageRow(merged, "many", 0, DiskFormat::TosA4, true);
        row.reads = names;
        ConversionReport report;
        const QStringList csv = QString::fromUtf8(sectorsCsv(row, report)).split("\r\n");
        QCOMPARE(csv.value(1), QString("0,0,0,0,good,1,read300,"));
    }

    // A read of fewer tracks supplies nothing for the tracks it lacks.
    void shorterReadMerges()
    {
        const PhysicalDisk longer = oneSector(2, "L", 2);
        PhysicalDisk shorter = oneSector(1, "S", 1);
        PhysicalDisk withTrack1 = longer;
        withTrack1.sectors.setRead(PhysicalDisk::place(1, 0, 5), SectorState::Suspect, 1, 1);
        const PhysicalDisk merged = mergeReads({shorter, withTrack1}, {"short", "long"}, [](const LogEntry &) {});
        QCOMPARE(merged.tracks, 2);
        QCOMPARE(int(merged.state(0, 0, 0)), 1);
        QCOMPARE(merged.sectors.bytes().left(1), QByteArray("S"));
        QCOMPARE(int(merged.state(1, 0, 5)), 2);
        QCOMPARE(merged.sectors.supplier(PhysicalDisk::place(1, 0, 5)), 2);
    }

    // The best image reads back to the same sectors and states, with our
    // reader and with dsktrans.
    void bestImageReadsBack()
    {
        DamagedDisk disk;
        disk.crcError(17);
        disk.weak(18, {0, 1, 1});
        disk.remove(19);
        libdsk dsk;
        dsk.setSalvage(true);
        QCOMPARE(dsk.openData(disk.image.edsk(), "best"), 1);
        const PhysicalDisk before = readPhysical(dsk);
        const QByteArray image = extendedDskImage(before, "test");

        libdsk again;
        again.setSalvage(true);
        QCOMPARE(again.openData(image, "again"), 1);
        const PhysicalDisk after = readPhysical(again);
        QVERIFY(after.sectors == before.sectors);
        QCOMPARE(int(after.state(1, 0, 7)), 2); // logical 17: id sectorSkew[1] = 7

        if (QStandardPaths::findExecutable("dsktrans").isEmpty())
            QSKIP("dsktrans (libdsk-utils) is not installed");
        const QString dir = folder();
        write(dir, ".libdskrc", "[tos40]\ncylinders = 40\nheads = 1\nsectors = 16\nsecbase = 0\nsecsize = 256\n"
                                "sides = alt\ndatarate = DD\n");
        const QString in = write(dir, "best.dsk", image);
        QProcess dsktrans;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("HOME", dir);
        dsktrans.setProcessEnvironment(environment);
        dsktrans.start("dsktrans", {"-itype", "edsk", "-stubborn", "-format", "tos40", "-otype", "raw", in, dir + "/raw"});
        QVERIFY(dsktrans.waitForFinished(60000));
        const QByteArray raw = readFile(dir + "/raw");
        QVERIFY2(raw.size() >= 40 * 16 * 256, qPrintable(QString::number(raw.size())));
        int compared = 0;
        for (int t = 0; t < 40; ++t)
            for (int id = 0; id < 16; ++id)
                if (before.state(t, 0, id) != SectorState::Missing) {
                    QCOMPARE(raw.mid((t * 16 + id) * 256, 256),
                             before.sectors.sectorBytes(PhysicalDisk::place(t, 0, id)));
                    ++compared;
                }
        QCOMPARE(compared, 40 * 16 - 1);
    }

    // Without salvage nothing changes; with it the suspect sectors are
    // counted in the log line and listed in the description.
    void salvageListsSuspectSectors_data()
    {
        QTest::addColumn<bool>("salvage");
        QTest::addColumn<QString>("line");
        QTest::addColumn<QString>("description");
        QTest::newRow("default") << false << "file GAME has 1 bad sector(s) "
                                 << "File   : GAME.cod\ntype   : code\nheader : 03e8030080\nstart  : 32768\n"
                                    "len    : 1000\nbad sec : 2,";
        QTest::newRow("salvage") << true << "file GAME has 0 bad sector(s) 2 suspect sector(s)"
                                 << "File   : GAME.cod\ntype   : code\nheader : 03e8030080\nstart  : 32768\n"
                                    "len    : 1000\nsuspect : 1,2,";
    }

    void salvageListsSuspectSectors()
    {
        QFETCH(bool, salvage);
        DamagedDisk disk;
        disk.crcError(17, false);
        disk.weak(18, {0, 0, 3});
        const QString dir = folder();
        const QString path = write(dir, "S.dsk", disk.image.edsk());
        BatchMode mode;
        mode.salvage = salvage;
        const InProcessRun run = rescue({path}, dir + "/out", mode);
        QCOMPARE(run.status, 0);
        QFETCH(QString, line);
        QVERIFY2(linesOf(run.out).contains(line), qPrintable(run.out));
        QTEST(QString::fromUtf8(readFile(dir + "/out/S/GAME.cod.inf")), "description");
        // The weak sector's majority is the true value; without salvage it
        // is a bad sector of zeros.
        const QByteArray body = readFile(dir + "/out/S/GAME.cod");
        QCOMPARE(body == disk.game.mid(5), salvage);
        QCOMPARE(body.mid(2 * 256 - 5, 256) == QByteArray(256, '\0'), !salvage);
    }

    // What files.csv calls GAME after a damage of one kind, in default mode
    // and in salvage mode: "complete" only when its bytes are proven.
    void verdictsNeverCallWrongBytesComplete_data()
    {
        QTest::addColumn<QString>("damage");
        QTest::addColumn<QString>("defaultVerdict");
        QTest::addColumn<QString>("salvageVerdict");
        QTest::newRow("none") << "none" << "yes,complete" << "yes,complete";
        QTest::newRow("data error taken as read") << "crc" << "no,unverified" << "no,suspect";
        QTest::newRow("missing sector") << "missing" << "no,damaged" << "no,damaged";
        QTest::newRow("duplicate id, other data") << "duplicate" << "no,unverified" << "no,suspect";
        QTest::newRow("not found by the controller") << "notfound" << "no,damaged" << "no,damaged";
        QTest::newRow("catalog sector with a data error") << "catalog" << "no,suspect" << "no,suspect";
        QTest::newRow("block shared with another file") << "shared" << "no,suspect" << "no,suspect";
        QTest::newRow("unprintable name") << "name" << "no,suspect" << "no,suspect";
    }

    void verdictsNeverCallWrongBytesComplete()
    {
        QFETCH(QString, damage);
        QFETCH(QString, defaultVerdict);
        QFETCH(QString, salvageVerdict);
        DamagedDisk disk;
        if (damage == "crc")
            disk.crcError(17);
        else if (damage == "missing")
            disk.remove(17);
        else if (damage == "duplicate")
            disk.at(20)->id = disk.at(17)->id; // same track, other data
        else if (damage == "notfound")
            disk.at(17)->st1 = 0x01;
        else if (damage == "catalog")
            disk.crcError(0, false);
        else if (damage == "shared")
            disk.image.setLogicalBytes(64, rescuetest::extentEntry(0, "OTHER", "", 0, 100, "\x04"), false);
        else if (damage == "name")
            disk.image.setLogicalBytes(32, rescuetest::extentEntry(0, "GA\x01E", "", 0, disk.game.size(), "\x04"), false);
        const QString dir = folder();
        const QString image = write(dir, "verdict.dsk", disk.image.edsk());
        for (bool salvage : {false, true}) {
            BatchMode mode;
            mode.salvage = salvage;
            mode.writeReport = true;
            const QString out = dir + (salvage ? "/salvage" : "/default");
            rescue({image}, out, mode);
            const QStringList files = QString::fromUtf8(readFile(out + "/verdict/verdict.files.csv")).split("\r\n");
            const QString game = files.filter(QRegularExpression("^GA")).value(0);
            QVERIFY2(game.section(',', 7, 8) == (salvage ? salvageVerdict : defaultVerdict), qPrintable(files.join(" | ")));
        }
    }

    // Three damaged reads of one disk give one complete rescue.
    void mergeOfThreeReads()
    {
        const QString dir = folder();
        DamagedDisk first;
        first.remove(17);
        DamagedDisk second;
        second.crcError(18);
        DamagedDisk third;
        third.remove(16);
        third.remove(18);
        const QStringList reads = {write(dir, "read1.dsk", first.image.edsk()), write(dir, "read2.dsk", second.image.edsk()),
                                   write(dir, "read3.dsk", third.image.edsk())};
        BatchMode mode;
        mode.merge = true;
        mode.writeReport = true;
        mode.bestImage = dir + "/best.dsk";
        const InProcessRun run = rescue(reads, dir + "/out", mode);
        QCOMPARE(run.status, 0);
        QCOMPARE(readFile(dir + "/out/read1-merged/GAME.cod"), first.game.mid(5));
        QVERIFY2(linesOf(run.out).contains("Merged 3 reads: 640 good, 0 suspect, 0 missing sector(s); 1 good sector(s) "
                                           "more than the best single read; 0 conflict(s)"),
                 qPrintable(run.out));
        QVERIFY(linesOf(run.out).contains("Read 2 (read2): 639 good sector(s); supplied 1 good and 0 suspect"));
        QVERIFY(linesOf(run.out).contains("file GAME "));
        const QStringList files =
            QString::fromUtf8(readFile(dir + "/out/read1-merged/read1-merged.files.csv")).split("\r\n");
        QCOMPARE(files.value(0), "name,file,type,catalog_length,bad,suspect,zero,complete,verdict,body_length");
        QCOMPARE(files.value(1), "GAME,GAME.cod,code,1005,0,0,0,yes,complete,1000");
        const QStringList sectors =
            QString::fromUtf8(readFile(dir + "/out/read1-merged/read1-merged.sectors.csv")).split("\r\n");
        QCOMPARE(sectors.value(0), "logical,track,side,sector_id,state,agreeing,supplier,owner");
        QCOMPARE(sectors.value(1 + 0), "0,0,0,0,good,3,read1,catalog");
        QCOMPARE(sectors.value(1 + 17), "17,1,0,7,good,2,read2,GAME");
        QCOMPARE(sectors.size(), 1 + 640 + 1); // the last line ends with CRLF too
        libdsk best;
        QCOMPARE(best.openData(readFile(dir + "/best.dsk"), "best"), 0);
    }

    void mergeRefusesOtherSideCounts()
    {
        const QString dir = folder();
        const QString one = write(dir, "one.dsk", ImageBuilder(40, 1).edsk());
        const QString two = write(dir, "two.dsk", ImageBuilder(40, 2).edsk());
        BatchMode mode;
        mode.merge = true;
        const InProcessRun run = rescue({one, two}, dir + "/out", mode);
        QCOMPARE(run.status, 1);
        QVERIFY(linesOf(run.out).contains("Cannot merge two with one: 2 side(s) against 1"));
        QVERIFY(!QDir(dir + "/out").exists());
    }

    // Reads whose shared good sectors differ beyond what reads of one disk
    // show are refused, unless forced; a few differing sectors are
    // conflicts of one disk.
    void mergeComparesTheReads_data()
    {
        QTest::addColumn<int>("tracks");
        QTest::addColumn<bool>("full");
        QTest::addColumn<int>("lostTracks"); // of the first read
        QTest::addColumn<int>("differing");
        QTest::addColumn<bool>("force");
        QTest::addColumn<int>("shared"); // non-blank good sectors both reads hold
        QTest::addColumn<bool>("different"); // refused unless forced
        // A disk that holds little: the catalog sector and the file's four
        // sectors, and the sectors changed.
        QTest::newRow("alike") << 40 << false << 0 << 0 << false << 5 << false;
        QTest::newRow("one sector differs") << 40 << false << 0 << 1 << false << 6 << false;
        QTest::newRow("3 of 8") << 40 << false << 0 << 3 << false << 8 << false;
        QTest::newRow("4 of 9") << 40 << false << 0 << 4 << false << 9 << true;
        // Full disks: the share, and a track side whatever the share.
        QTest::newRow("12 of 625: under 2 %") << 40 << true << 0 << 12 << false << 625 << false;
        QTest::newRow("13 of 625: over 2 %") << 40 << true << 0 << 13 << false << 625 << true;
        QTest::newRow("15 of 2545") << 80 << true << 0 << 15 << false << 2545 << false;
        QTest::newRow("16 of 2545: a track side") << 80 << true << 0 << 16 << false << 2545 << true;
        // A damaged first read: fewer shared sectors.
        QTest::newRow("damaged, 3 of 81") << 40 << true << 34 << 3 << false << 81 << false;
        QTest::newRow("damaged, 5 of 81") << 40 << true << 34 << 5 << false << 81 << true;
        QTest::newRow("4 of 9, forced") << 40 << false << 0 << 4 << true << 9 << true;
        QTest::newRow("16 of 2545, forced") << 80 << true << 0 << 16 << true << 2545 << true;
        QTest::newRow("alike, forced") << 40 << false << 0 << 0 << true << 5 << false;
    }

    void mergeComparesTheReads()
    {
        QFETCH(int, tracks);
        QFETCH(bool, full);
        QFETCH(int, lostTracks);
        QFETCH(int, differing);
        QFETCH(bool, force);
        QFETCH(int, shared);
        QFETCH(bool, different);
        const QString refusal = QStringLiteral("Cannot merge read2 with read1: %1 of %2 non-blank good sectors they "
                                               "share differ; they look like reads of different disks")
                                    .arg(differing)
                                    .arg(shared);
        const QString dir = folder();
        BatchMode mode;
        mode.merge = true;
        mode.forceMerge = force;
        const InProcessRun run = rescue(twoReads(dir, tracks, full, lostTracks, differing), dir + "/out", mode);
        const QStringList lines = linesOf(run.out);
        if (different && !force) {
            QCOMPARE(run.status, 1);
            QVERIFY2(lines.contains(refusal), qPrintable(run.out));
            QVERIFY2(run.err.contains("read1.dsk: refused: " + refusal), qPrintable(run.err));
            QVERIFY(lines.filter("Merged ").isEmpty());
            QVERIFY(!QDir(dir + "/out").exists());
            return;
        }
        QCOMPARE(run.status, 0);
        QCOMPARE(run.err, QString());
        QVERIFY(lines.filter("Cannot merge").isEmpty());
        // Reads alike in every sector are one read given twice: merged once.
        const bool alike = lostTracks == 0 && differing == 0;
        QCOMPARE(lines.contains("read2 holds the same read as read 1 (read1); merged once"), alike);
        const QStringList merged = lines.filter(alike ? "Merged 1 reads: " : "Merged 2 reads: ");
        QCOMPARE(merged.size(), 1);
        QVERIFY2(merged.first().endsWith(QStringLiteral("; %1 conflict(s)").arg(differing)), qPrintable(merged.first()));
        QCOMPARE(lines.filter("good reads disagree").size(), differing);
        // Forcing says so where the reads look like different disks.
        const QStringList warned = lines.filter("look like reads of different disks");
        QCOMPARE(warned, force && different ? QStringList{QStringLiteral("read2 and read1 look like reads of different "
                                                                         "disks (%1 of %2 non-blank good sectors they "
                                                                         "share differ); merged as asked")
                                                              .arg(differing)
                                                              .arg(shared)}
                                            : QStringList());
        const QString file = tracks == 40 ? "/out/read1-merged/GAME.cod" : "/out/read1-merged/WIDE.C.cod";
        QVERIFY2(QFile::exists(dir + file), qPrintable(run.out));
    }

    // A damaged read merged with a read of another disk: refused by the
    // batch tool, exit status 1, nothing written; --force-merge (which
    // implies --merge) merges them all the same.
    void mergeOfAnotherDiskIsRefused()
    {
        const QString dir = folder();
        const QStringList reads = readsOfTwoDisks(dir);
        const QString refusal = "Cannot merge other with read1: 12 of 12 non-blank good sectors they share differ; "
                                "they look like reads of different disks";

        const ToolRun refused = runTool(QStringList{"--merge", "--output", dir + "/out"} + reads, dir);
        QCOMPARE(refused.exitCode, 1);
        QVERIFY2(linesOf(refused.out).contains(refusal), qPrintable(refused.out));
        QCOMPARE(refused.err, "malvore-rescue: " + reads.first() + ": refused: " + refusal + "\n");
        QVERIFY(!QDir(dir + "/out").exists());

        const ToolRun forced = runTool(QStringList{"--force-merge", "--output", dir + "/out"} + reads, dir);
        QCOMPARE(forced.exitCode, 0);
        QCOMPARE(forced.err, QString());
        const QStringList lines = linesOf(forced.out);
        QVERIFY2(lines.contains("other and read1 look like reads of different disks (12 of 12 non-blank good "
                                "sectors they share differ); merged as asked"),
                 qPrintable(forced.out));
        QCOMPARE(lines.filter(QRegularExpression("^Merged 2 reads: .*; 12 conflict\\(s\\)$")).size(), 1);
        QVERIFY(QFile::exists(dir + "/out/read1-merged/read1-merged.tap"));
    }

    // Many one-track reads, each damaged elsewhere, merge sector by sector
    // as a few do: a good copy wins, weak copies go by their majority.
    void manyOneTrackReadsMerge()
    {
        const int count = 300;
        QVector<PhysicalDisk> reads;
        QStringList names;
        for (int r = 0; r < count; ++r) {
            PhysicalDisk read(1, 1);
            for (int id = 0; id < 16; ++id) {
                // Sector 0 good in every read, sector 1 in the last one
                // only, the others suspect: byte 0 of sector id differs
                // in every third read, byte 1 in every second.
                const SectorState state
                    = id == 0 || (id == 1 && r == count - 1) ? SectorState::Good : SectorState::Suspect;
                QByteArray bytes(256, char('a' + id));
                if (r % 3 == 0)
                    bytes[0] = 'X';
                if (r % 2 == 0)
                    bytes[1] = 'Y';
                std::copy(bytes.constBegin(), bytes.constEnd(), read.sectors.sectorDataForWrite(id));
                read.sectors.setRead(id, state, 1, 1);
            }
            reads << read;
            names << QStringLiteral("read%1").arg(r + 1);
        }
        QStringList log;
        const PhysicalDisk merged = mergeReads(reads, names, [&log](const LogEntry &e) { log << e.parts.value(0).text; });
        // Sector 0: good copies of four values. Neither change (r % 6 in 1
        // and 5) and Y alone (2 and 4) are held by 100 reads each; the tie
        // goes to the earliest, read 2 (r = 1), as a conflict.
        QCOMPARE(merged.sectors.sectorBytes(0), QByteArray("a").repeated(256));
        QCOMPARE(merged.sectors.agreeing(0), 100);
        QCOMPARE(merged.sectors.supplier(0), 2);
        QCOMPARE(int(merged.sectors.state(0)), int(SectorState::Suspect));
        // Sector 1: the one good read.
        QCOMPARE(merged.sectors.supplier(1), count);
        QCOMPARE(int(merged.sectors.state(1)), int(SectorState::Good));
        // The others: byte 0 'c' (200 of 300), byte 1 a tie of 150 and 150
        // that the first read's 'Y' wins.
        QByteArray majority(256, 'c');
        majority[1] = 'Y';
        QCOMPARE(merged.sectors.sectorBytes(2), majority);
        QCOMPARE(merged.sectors.agreeing(2), 100); // r % 6 in 2 and 4
        QCOMPARE(merged.sectors.supplier(2), 1);
        QCOMPARE(log.filter("good reads disagree").size(), 1);
        QVERIFY2(log.last().startsWith("Merged 300 reads: 1 good, 15 suspect, 0 missing sector(s); "), qPrintable(log.last()));
        QVERIFY2(log.last().endsWith("; 1 conflict(s)"), qPrintable(log.last()));
    }

    // The window's Merge reads asks before merging reads of different
    // disks, and merges only on Yes.
    void windowAsksBeforeMergingOtherDisks_data()
    {
        QTest::addColumn<bool>("yes");
        QTest::newRow("yes") << true;
        QTest::newRow("no") << false;
    }

    void windowAsksBeforeMergingOtherDisks()
    {
        QFETCH(bool, yes);
        MainWindow window;
        window.openImages(readsOfTwoDisks(folder()));
        QTableWidget *list = table(window);
        QCOMPARE(list->rowCount(), 2);
        list->clearSelection();
        for (int row : {0, 1})
            list->selectionModel()->select(list->model()->index(row, 0),
                                           QItemSelectionModel::Select | QItemSelectionModel::Rows);
        QString question;
        QString details;
        QTimer::singleShot(0, [&] {
            auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
            if (!box)
                return;
            question = box->text();
            details = box->informativeText();
            box->button(yes ? QMessageBox::Yes : QMessageBox::No)->click();
        });
        QCOMPARE(window.mergeSelectedRows(), yes);
        QCOMPARE(question, QString("These reads look like different disks: the good sectors they share differ. "
                                   "Merge anyway?"));
        QCOMPARE(details, QString("Cannot merge other with read1: 12 of 12 non-blank good sectors they share "
                                  "differ; they look like reads of different disks"));
        QCOMPARE(list->rowCount(), yes ? 3 : 2);
        if (yes)
            QCOMPARE(list->item(2, 0)->text(), QString("read1-merged"));
        else
            QCOMPARE(window.statusBar()->currentMessage(), QString("The reads could not be merged"));
    }

    // The table's map cell marks suspect sectors of a salvaged row with a
    // pattern of its own; without salvage they stay green.
    void mapPictureMarksSuspectSectors_data()
    {
        QTest::addColumn<bool>("salvage");
        QTest::addColumn<int>("sides");
        QTest::addColumn<QRect>("mark"); // of logical sector 17
        QTest::newRow("one side, salvage") << true << 1 << QRect(2, 4, 2, 2);
        QTest::newRow("one side, default") << false << 1 << QRect(2, 4, 2, 2);
        QTest::newRow("two sides, salvage") << true << 2 << QRect(0, 19, 1, 1);
    }

    void mapPictureMarksSuspectSectors()
    {
        QFETCH(bool, salvage);
        QFETCH(int, sides);
        QFETCH(QRect, mark);
        ImageRow row;
        row.tracks = sides == 1 ? 40 : 80;
        row.sides = sides;
        row.salvage = salvage;
        const int sectors = row.tracks * sides * 16;
        row.sectors = SectorTable(sectors);
        for (int i = 0; i < sectors; ++i)
            row.sectors.setRead(i, i == 17 ? SectorState::Suspect : SectorState::Good, 1, 1);
        const QImage picture = mapPicture(row);
        QSet<QRgb> colours;
        for (int y = mark.top(); y <= mark.bottom(); ++y)
            for (int x = mark.left(); x <= mark.right(); ++x)
                colours << picture.pixel(x, y);
        if (!salvage) {
            QCOMPARE(colours, QSet<QRgb>{qRgb(0, 255, 0)});
            return;
        }
        QVERIFY(!colours.contains(qRgb(0, 255, 0)) && !colours.contains(qRgb(255, 0, 0)));
        QVERIFY(colours.contains(qRgb(255, 191, 0)) || colours.contains(qRgb(0, 0, 0)));
        if (mark.width() > 1)
            QCOMPARE(colours.size(), 2); // a pattern, not a single colour
    }

    void reportFieldsAreQuoted_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("field");
        QTest::newRow("plain") << "GAME" << "GAME";
        QTest::newRow("comma") << "A,B" << "\"A,B\"";
        QTest::newRow("quote") << "say \"hi\"" << "\"say \"\"hi\"\"\"";
        QTest::newRow("line break") << "a\nb" << "\"a\nb\"";
    }

    void reportFieldsAreQuoted()
    {
        QFETCH(QString, text);
        QTEST(csvField(text), "field");
    }
};

int main(int argc, char *argv[])
{
    QCoreApplication::setOrganizationName(QStringLiteral("kestrin"));
    QCoreApplication::setApplicationName(QStringLiteral("malvore"));
    QApplication app(argc, argv);
    TestSalvage test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_salvage.moc"
