#include "disk/libdsk.h"
#include "imagebuilder.h"
#include "logrender.h"

#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <sys/resource.h>

// The standard and Extended DSK readers seen from outside: the log lines they
// emit, the result of open and the bytes each sector reads back as.
namespace {

const QString openingLine = QStringLiteral("<br><hr>Opening file \"<b><i>%1</i></b>\"");
const QString unknownFormat = QStringLiteral("Unknown file format.");

// 256 bytes that tell which physical sector they were stored for.
QByteArray tagged(int track, int side, int id)
{
    QByteArray bytes(256, '\0');
    for (int k = 0; k < 256; ++k)
        bytes[k] = char((track * 7 + side * 131 + id * 17 + k * 3) & 0xFF);
    bytes[0] = char(track);
    bytes[1] = char(side);
    bytes[2] = char(id);
    return bytes;
}

void tagAll(ImageBuilder &image)
{
    for (int t = 0; t < image.tracks(); ++t)
        for (int s = 0; s < image.sides(); ++s)
            for (int id = 0; id < 16; ++id)
                image.setSector(t, s, id, tagged(t, s, id));
}

int linear(const libdsk &dsk, int track, int side, int id)
{
    return (track * dsk.sides() + side) * 16 + id;
}

// The reader's entries as the window's log receives them.
QStringList entryLines(const QSignalSpy &spy)
{
    QStringList lines;
    for (const QList<QVariant> &arguments : spy)
        lines.append(logEntryHtml(arguments.at(0).value<LogEntry>()));
    return lines;
}

// Opens bytes and returns the lines the reader emitted while doing so.
QStringList load(libdsk &dsk, const QByteArray &bytes, const QString &name, int &result)
{
    QSignalSpy spy(&dsk, &libdsk::message);
    result = dsk.openData(bytes, name);
    return entryLines(spy);
}

QStringList loadFile(libdsk &dsk, const QString &path, int &result)
{
    QSignalSpy spy(&dsk, &libdsk::message);
    result = dsk.open(path);
    return entryLines(spy);
}

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

long peakResidentKiB()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

} // namespace

class TestReaders : public QObject
{
    Q_OBJECT

private slots:
    // Runs first, while the process is still small, so that a file read
    // whole would show in the peak memory.
    void oversizedFileIsNotReadWhole()
    {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString path = dir.filePath(QStringLiteral("huge.dsk"));
        ImageBuilder image(40, 1);
        QVERIFY(writeFile(path, image.dsk()));
        QFile file(path);
        QVERIFY(file.resize(64 * 1024 * 1024 + 1)); // sparse: costs no disk space

        const long before = peakResidentKiB();
        libdsk dsk;
        int result = 0;
        const QStringList lines = loadFile(dsk, path, result);
        const long grownKiB = peakResidentKiB() - before;

        QCOMPARE(result, -6);
        QCOMPARE(lines.first(), openingLine.arg("huge"));
        QCOMPARE(lines.last(), unknownFormat);
        QVERIFY2(grownKiB < 32 * 1024, qPrintable(QString("peak memory grew by %1 KiB").arg(grownKiB)));
        QCOMPARE(dsk.tracks(), 0);
        QVERIFY(dsk.sector(0).isEmpty());
    }

    void cleanDskLogLineByLine()
    {
        ImageBuilder image(40, 1);
        tagAll(image);
        libdsk dsk;
        int result = -99;
        const QStringList lines = load(dsk, image.dsk(), "clean", result);
        const QStringList expected = {
            openingLine.arg("clean"),
            QStringLiteral("Detected <b>DSK</b> file, created by \"<i>TestBuilder</i>\""),
            QStringLiteral("tracks: 40<br>sides: 1<br>track size: 4096"),
            QStringLiteral("sectors (calculated): 640"),
            QStringLiteral("sectors (imported)  : 640"),
        };
        QCOMPARE(lines, expected);
        QCOMPARE(result, 0);
        QCOMPARE(dsk.tracks(), 40);
        QCOMPARE(dsk.sides(), 1);
        for (int t = 0; t < 40; ++t)
            for (int id = 0; id < 16; ++id)
                QCOMPARE(dsk.sector(t * 16 + id), tagged(t, 0, id));
    }

    void openFromFileShowsBaseNameWithoutLastExtension()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("side.one.dsk"));
        ImageBuilder image(40, 1);
        QVERIFY(writeFile(path, image.dsk()));
        libdsk dsk;
        int result = -99;
        const QStringList lines = loadFile(dsk, path, result);
        QCOMPARE(result, 0);
        QCOMPARE(lines.first(), openingLine.arg("side.one"));
        QCOMPARE(lines.size(), 5);
    }

    // A device is refused at once: never opened, never read.
    void deviceIsRefusedWithoutReading()
    {
        if (!QFile::exists(QStringLiteral("/dev/zero")))
            QSKIP("no /dev/zero here");
        const long before = peakResidentKiB();
        libdsk dsk;
        int result = 0;
        const QStringList lines = loadFile(dsk, QStringLiteral("/dev/zero"), result);
        const long grownKiB = peakResidentKiB() - before;
        QCOMPARE(result, -6);
        QVERIFY2(grownKiB < 256 * 1024, qPrintable(QString("peak memory grew by %1 KiB").arg(grownKiB)));
        QCOMPARE(lines, QStringList({openingLine.arg("zero"), "Not a regular file (a device); not read."}));
    }

    void missingFileIsUnknownFormat()
    {
        QTemporaryDir dir;
        libdsk dsk;
        int result = 0;
        const QStringList lines = loadFile(dsk, dir.filePath(QStringLiteral("absent.dsk")), result);
        QCOMPARE(result, -6);
        QCOMPARE(lines, QStringList({openingLine.arg("absent"), unknownFormat}));
        QCOMPARE(dsk.diskType(), 0);
    }

    void oneSectorMissing()
    {
        ImageBuilder image(40, 1);
        tagAll(image);
        image.removeSector(12, 0, 5);
        libdsk dsk;
        int result = -99;
        const QStringList lines = load(dsk, image.dsk(), "holed", result);
        QCOMPARE(result, 1);
        QCOMPARE(lines.last(), QStringLiteral("sectors (imported)  : 639"));
        QVERIFY(dsk.sector(12 * 16 + 5).isEmpty());
        // The block after the short track is still found, and the sectors
        // behind the gap in the short track keep their own data.
        QCOMPARE(dsk.sector(12 * 16 + 6), tagged(12, 0, 6));
        QCOMPARE(dsk.sector(12 * 16 + 15), tagged(12, 0, 15));
        QCOMPARE(dsk.sector(13 * 16 + 0), tagged(13, 0, 0));
        QCOMPARE(dsk.sector(39 * 16 + 15), tagged(39, 0, 15));
    }

    void sectorSizeCodeOtherThanOneIsBad()
    {
        ImageBuilder image(40, 1);
        tagAll(image);
        image.sector(3, 0, 4)->sizeCode = 2;
        libdsk dsk;
        int result = -99;
        load(dsk, image.dsk(), "sizecode", result);
        QCOMPARE(result, 1);
        QVERIFY(dsk.sector(3 * 16 + 4).isEmpty());
        QCOMPARE(dsk.sector(3 * 16 + 5), tagged(3, 0, 5));
    }

    void singleSidedTrackLimit_data()
    {
        QTest::addColumn<bool>("extended");
        QTest::newRow("DSK") << false;
        QTest::newRow("EDSK") << true;
    }
    void singleSidedTrackLimit()
    {
        QFETCH(bool, extended);
        libdsk dsk;
        int result = -99;

        ImageBuilder fortyTwo(42, 1);
        load(dsk, extended ? fortyTwo.edsk() : fortyTwo.dsk(), "t42", result);
        QCOMPARE(result, 0);
        QCOMPARE(dsk.tracks(), 42);

        ImageBuilder fortyThree(43, 1);
        const QStringList lines = load(dsk, extended ? fortyThree.edsk() : fortyThree.dsk(), "t43", result);
        QCOMPARE(result, -6);
        QCOMPARE(lines, QStringList({openingLine.arg("t43"),
                                     QStringLiteral("Not a TOS disk : one side and more than 42 tracks..."),
                                     unknownFormat}));
        QCOMPARE(dsk.tracks(), 0);

        // Double-sided images have no such limit.
        ImageBuilder doubleSided(43, 2);
        load(dsk, extended ? doubleSided.edsk() : doubleSided.dsk(), "t43x2", result);
        QCOMPARE(result, 0);
    }

    void eightyTracksDoubleSided()
    {
        ImageBuilder image(80, 2);
        tagAll(image);
        libdsk dsk;
        int result = -99;
        const QStringList lines = load(dsk, image.dsk(), "big", result);
        QCOMPARE(result, 0);
        QCOMPARE(dsk.diskType(), 3);
        QCOMPARE(dsk.sectorCount(), 2560);
        QCOMPARE(lines.at(2), QStringLiteral("tracks: 80<br>sides: 2<br>track size: 4096"));
        QCOMPARE(lines.at(3), QStringLiteral("sectors (calculated): 2560"));
        QCOMPARE(dsk.sector(linear(dsk, 79, 1, 15)), tagged(79, 1, 15));
        QCOMPARE(dsk.sector(79, 1, 15), tagged(79, 1, 15));
    }

    void dskTrackSizeOtherThan4096IsRefused()
    {
        ImageBuilder image(40, 1);
        image.setDskTrackSize(0x1300);
        libdsk dsk;
        int result = 0;
        const QStringList lines = load(dsk, image.dsk(), "wide", result);
        QCOMPARE(result, -6);
        QCOMPARE(lines, QStringList({openingLine.arg("wide"),
                                     QStringLiteral("Not a TOS disk : track size != 4096"),
                                     unknownFormat}));
    }

    void edskFullTableLoads()
    {
        ImageBuilder image(40, 1);
        tagAll(image);
        const QByteArray bytes = image.edsk();
        for (int i = 0; i < 40; ++i)
            QCOMPARE(quint8(bytes.at(0x34 + i)), quint8(0x11));
        libdsk dsk;
        int result = -99;
        const QStringList lines = load(dsk, bytes, "ext", result);
        const QStringList expected = {
            openingLine.arg("ext"),
            QStringLiteral("Detected <b>EDSK</b> file, created by \"<i>TestBuilder</i>\""),
            QStringLiteral("tracks: 40<br>sides: 1<br>max track size: 4096"),
            QStringLiteral("sectors (calculated): 640"),
            QStringLiteral("sectors (imported)  : 640"),
        };
        QCOMPARE(lines, expected);
        QCOMPARE(result, 0);
        QCOMPARE(dsk.sector(27 * 16 + 9), tagged(27, 0, 9));
    }

    void edskTrackLargerThan4096IsRefused()
    {
        ImageBuilder image(40, 1);
        QByteArray bytes = image.edsk();
        bytes[0x34 + 17] = char(0x12);
        libdsk dsk;
        int result = 0;
        const QStringList lines = load(dsk, bytes, "fat", result);
        QCOMPARE(result, -6);
        QCOMPARE(lines, QStringList({openingLine.arg("fat"),
                                     QStringLiteral("Not a TOS disk : found track > 4096B"),
                                     unknownFormat}));
    }

    void edskAbsentTracksAreBad()
    {
        ImageBuilder image(40, 2);
        tagAll(image);
        image.removeTrack(3, 1);
        image.removeTrack(10, 0);
        const QByteArray bytes = image.edsk();
        QCOMPARE(int(bytes.at(0x34 + 3 * 2 + 1)), 0);
        QCOMPARE(int(bytes.at(0x34 + 10 * 2)), 0);
        libdsk dsk;
        int result = -99;
        load(dsk, bytes, "gaps", result);
        QCOMPARE(result, 32);
        for (int id = 0; id < 16; ++id) {
            QVERIFY(dsk.sector(linear(dsk, 3, 1, id)).isEmpty());
            QVERIFY(dsk.sector(linear(dsk, 10, 0, id)).isEmpty());
            QCOMPARE(dsk.sector(linear(dsk, 3, 0, id)), tagged(3, 0, id));
            QCOMPARE(dsk.sector(linear(dsk, 4, 0, id)), tagged(4, 0, id));
            QCOMPARE(dsk.sector(linear(dsk, 10, 1, id)), tagged(10, 1, id));
            QCOMPARE(dsk.sector(linear(dsk, 39, 1, id)), tagged(39, 1, id));
        }
    }

    void edskDataLengthDecidesWhatIsRead()
    {
        ImageBuilder image(40, 1);
        tagAll(image);
        // A weak sector stored twice (512 bytes) in a track that lost
        // another sector, so the block still holds 4096 data bytes.
        image.removeSector(5, 0, 9);
        image.sector(5, 0, 3)->data = tagged(5, 0, 3) + tagged(5, 0, 3);
        // Status registers with error bits do not make a sector bad.
        image.sector(6, 0, 2)->st1 = 0x20;
        image.sector(6, 0, 2)->st2 = 0x20;
        const QByteArray bytes = image.edsk();
        QCOMPARE(quint8(bytes.at(0x34 + 5)), quint8(0x11));
        libdsk dsk;
        int result = -99;
        load(dsk, bytes, "weak", result);
        QCOMPARE(result, 2);
        QVERIFY(dsk.sector(5 * 16 + 3).isEmpty());
        QVERIFY(dsk.sector(5 * 16 + 9).isEmpty());
        // Each sector's data follows the stored lengths of those before it.
        for (int id : {0, 1, 2, 4, 5, 8, 10, 15})
            QCOMPARE(dsk.sector(5 * 16 + id), tagged(5, 0, id));
        QCOMPARE(dsk.sector(6 * 16 + 2), tagged(6, 0, 2));
        QCOMPARE(dsk.sector(6 * 16 + 3), tagged(6, 0, 3));
    }

    void edskShortAndEmptySectors()
    {
        ImageBuilder image(40, 1);
        tagAll(image);
        image.sector(8, 0, 4)->data = QByteArray(100, 'S');
        image.sector(8, 0, 11)->data = QByteArray();
        const QByteArray bytes = image.edsk();
        QCOMPARE(quint8(bytes.at(0x34 + 8)), quint8(0x10));
        libdsk dsk;
        int result = -99;
        load(dsk, bytes, "short", result);
        QCOMPARE(result, 1);
        QCOMPARE(dsk.sector(8 * 16 + 4), QByteArray(100, 'S') + QByteArray(156, '\0'));
        QVERIFY(dsk.sector(8 * 16 + 11).isEmpty());
        for (int id : {0, 3, 5, 10, 12, 15})
            QCOMPARE(dsk.sector(8 * 16 + id), tagged(8, 0, id));
        // The next block starts where the table says.
        QCOMPARE(dsk.sector(9 * 16 + 0), tagged(9, 0, 0));
    }

    void edskSectorListLongerThanTheHeader()
    {
        // Thirty half-size sectors: the list runs past 256 bytes, so the data
        // starts at the next 256-byte boundary after it. Ids 16..29 of the
        // last track lie outside the table and are ignored.
        ImageBuilder image(40, 1);
        tagAll(image);
        ImageBuilder::Track &last = image.track(39, 0);
        last.sectors.clear();
        for (int id = 0; id < 30; ++id) {
            ImageBuilder::Sector sector;
            sector.id = id;
            sector.data = tagged(39, 0, id).left(128);
            last.sectors.append(sector);
        }
        const QByteArray bytes = image.edsk();
        QCOMPARE(quint8(bytes.at(0x34 + 39)), quint8(0x11));
        libdsk dsk;
        int result = -99;
        const QStringList lines = load(dsk, bytes, "halves", result);
        QCOMPARE(result, 0);
        QCOMPARE(lines.last(), QStringLiteral("sectors (imported)  : 640"));
        for (int id = 0; id < 16; ++id)
            QCOMPARE(dsk.sector(39 * 16 + id), tagged(39, 0, id).left(128) + QByteArray(128, '\0'));
    }

    void emptyCreatorShowsQuestionMark_data()
    {
        QTest::addColumn<bool>("extended");
        QTest::newRow("DSK") << false;
        QTest::newRow("EDSK") << true;
    }
    void emptyCreatorShowsQuestionMark()
    {
        QFETCH(bool, extended);
        ImageBuilder image(40, 1);
        image.setCreator(QByteArray());
        libdsk dsk;
        int result = -99;
        const QStringList lines = load(dsk, extended ? image.edsk() : image.dsk(), "anon", result);
        QCOMPARE(result, 0);
        QCOMPARE(lines.at(1), QStringLiteral("Detected <b>%1</b> file, created by \"<i>?</i>\"")
                                  .arg(extended ? "EDSK" : "DSK"));
    }

    void creatorIsCutAtFourteenCharacters()
    {
        ImageBuilder image(40, 1);
        image.setCreator("ABCDEFGHIJKLMN");
        // The field is full, so no zero byte ends it before the track count.
        libdsk dsk;
        int result = -99;
        const QStringList lines = load(dsk, image.dsk(), "named", result);
        QCOMPARE(result, 0);
        QCOMPARE(lines.at(1), QStringLiteral("Detected <b>DSK</b> file, created by \"<i>ABCDEFGHIJKLMN</i>\""));
    }

    void sectorIdsOneToSixteen()
    {
        ImageBuilder image(40, 1);
        tagAll(image);
        for (int t = 0; t < 40; ++t)
            for (ImageBuilder::Sector &sector : image.track(t, 0).sectors)
                sector.id += 1;
        libdsk dsk;
        int result = -99;
        const QStringList lines = load(dsk, image.dsk(), "shifted", result);
        // Each track's id 16 would land on the next track's sector 0: it is
        // told against its own track and left out, displacing nothing.
        QCOMPARE(lines.last(), QStringLiteral("sectors (imported)  : 600"));
        QCOMPARE(lines.filter("which this track cannot hold").size(), 40);
        QVERIFY(lines.contains(QStringLiteral(
            "Track 3 side 0: an entry names sector id 16 of side 0, which this track cannot hold; left out")));
        QCOMPARE(result, 40);
        for (int t = 0; t < 40; ++t) {
            QVERIFY(dsk.sector(t * 16).isEmpty());
            for (int id = 1; id < 16; ++id)
                QCOMPARE(dsk.sector(t * 16 + id), tagged(t, 0, id - 1));
        }
    }

    void entriesOutsideTheTableAreIgnored()
    {
        ImageBuilder image(40, 2);
        tagAll(image);
        image.sector(38, 1, 6)->id = 0xF0; // linear number past the last sector
        image.track(7, 1).track = 60;      // a block naming a track the header lacks
        image.track(39, 1).side = 5;       // and one naming a side it lacks
        libdsk dsk;
        int result = -99;
        const QStringList lines = load(dsk, image.dsk(), "outside", result);
        QCOMPARE(lines.last(), QStringLiteral("sectors (imported)  : %1").arg(1280 - 1 - 16 - 16));
        QCOMPARE(result, 33);
        QVERIFY(dsk.sector(linear(dsk, 38, 1, 6)).isEmpty());
        for (int id = 0; id < 16; ++id) {
            QVERIFY(dsk.sector(linear(dsk, 7, 1, id)).isEmpty());
            QVERIFY(dsk.sector(linear(dsk, 39, 1, id)).isEmpty());
        }
        QCOMPARE(dsk.sector(linear(dsk, 38, 1, 7)), tagged(38, 1, 7));
        QCOMPARE(dsk.sector(linear(dsk, 39, 0, 15)), tagged(39, 0, 15));
    }

    void blockNamingAnotherTrackLandsThere()
    {
        ImageBuilder image(40, 1);
        tagAll(image);
        image.track(4, 0).track = 3; // track 3 twice, track 4 never
        libdsk dsk;
        int result = -99;
        load(dsk, image.dsk(), "twice", result);
        // Track 3 is counted once and keeps its first copy; track 4 is missing.
        QCOMPARE(result, 16);
        QCOMPARE(dsk.sector(3 * 16 + 2), tagged(3, 0, 2));
        QVERIFY(dsk.sector(4 * 16 + 2).isEmpty());
    }

    void moreThanTwoSidesIsRefused_data()
    {
        QTest::addColumn<bool>("extended");
        QTest::addColumn<int>("tracks");
        QTest::addColumn<int>("sides");
        QTest::newRow("DSK 10x3") << false << 10 << 3;
        QTest::newRow("EDSK 10x3") << true << 10 << 3;
        QTest::newRow("DSK 255x255") << false << 255 << 255;
        QTest::newRow("EDSK 255x255") << true << 255 << 255;
    }
    void moreThanTwoSidesIsRefused()
    {
        QFETCH(bool, extended);
        QFETCH(int, tracks);
        QFETCH(int, sides);
        // Only the 256-byte header: a file that claims a huge table.
        ImageBuilder image(0, 1);
        image.setHeaderTracks(tracks);
        image.setHeaderSides(sides);
        QByteArray bytes = extended ? image.edsk() : image.dsk();
        if (extended)
            bytes.replace(0x34, 256 - 0x34, QByteArray(256 - 0x34, char(0x11)));
        QCOMPARE(bytes.size(), 256);
        libdsk dsk;
        int result = 0;
        const QStringList lines = load(dsk, bytes, "sides", result);
        QCOMPARE(result, -6);
        QCOMPARE(lines, QStringList({openingLine.arg("sides"),
                                     QStringLiteral("Not a TOS disk : more than 2 sides"),
                                     unknownFormat}));
        QCOMPARE(dsk.sectorCount(), 0);
    }

    void truncatedInsideSectorData_data()
    {
        QTest::addColumn<bool>("extended");
        QTest::newRow("DSK") << false;
        QTest::newRow("EDSK") << true;
    }
    void truncatedInsideSectorData()
    {
        QFETCH(bool, extended);
        ImageBuilder image(40, 1);
        tagAll(image);
        const QByteArray whole = extended ? image.edsk() : image.dsk();
        // Track 5: header, sectors 0..2 whole, sector 3 cut after 100 bytes.
        const QByteArray cut = whole.left(256 + 5 * 0x1100 + 256 + 3 * 256 + 100);
        libdsk dsk;
        int result = -99;
        const QStringList lines = load(dsk, cut, "cut", result);
        QCOMPARE(lines.last(), QStringLiteral("sectors (imported)  : 83"));
        QCOMPARE(result, 640 - 83);
        QCOMPARE(dsk.sector(5 * 16 + 2), tagged(5, 0, 2));
        QVERIFY(dsk.sector(5 * 16 + 3).isEmpty());
        QVERIFY(dsk.sector(5 * 16 + 4).isEmpty());
        QVERIFY(dsk.sector(6 * 16).isEmpty());
    }

    void truncatedInsideTrackHeader_data()
    {
        QTest::addColumn<bool>("extended");
        QTest::addColumn<int>("kept");
        QTest::newRow("DSK, inside Track-Info") << false << 6;
        QTest::newRow("DSK, inside the sector list") << false << 100;
        QTest::newRow("EDSK, inside Track-Info") << true << 6;
        QTest::newRow("EDSK, inside the sector list") << true << 100;
    }
    void truncatedInsideTrackHeader()
    {
        QFETCH(bool, extended);
        QFETCH(int, kept);
        ImageBuilder image(40, 1);
        tagAll(image);
        const QByteArray whole = extended ? image.edsk() : image.dsk();
        // The walk stops at the cut header as at the end of the file.
        const QByteArray cut = whole.left(256 + 5 * 0x1100 + kept);
        libdsk dsk;
        int result = -99;
        const QStringList lines = load(dsk, cut, "cuthead", result);
        QCOMPARE(result, 640 - 80);
        QCOMPARE(lines.last(), QStringLiteral("sectors (imported)  : 80"));
        QCOMPARE(lines.size(), 5);
        QCOMPARE(dsk.sector(4 * 16 + 15), tagged(4, 0, 15));
    }

    void headerOnlyFiles()
    {
        // Every cut of a valid image's header must load or be refused
        // without reading past the end.
        ImageBuilder image(40, 1);
        for (const QByteArray &whole : {image.dsk(), image.edsk()}) {
            for (int size = 0; size <= 600; size += 7) {
                libdsk dsk;
                int result = -99;
                load(dsk, whole.left(size), "stub", result);
                // No sector is whole in 600 bytes; a cut before the track
                // count reads it as 0.
                QVERIFY2(result == -6 || result == 0 || result == 640, qPrintable(QString::number(size)));
                for (int n = 0; n < dsk.sectorCount(); ++n)
                    QVERIFY(dsk.sector(n).isEmpty());
            }
        }
    }

    void edskWithMoreThan204TrackBlocks()
    {
        ImageBuilder image(110, 2);
        tagAll(image);
        libdsk dsk;
        int result = -99;
        const QStringList lines = load(dsk, image.edsk(), "long", result);
        // Table entries 204 and later would lie in track data: they count
        // as 0, so blocks 204..219 (tracks 102..109) are absent.
        QCOMPARE(lines.at(2), QStringLiteral("tracks: 110<br>sides: 2<br>max track size: 4096"));
        QCOMPARE(result, 16 * 16);
        QCOMPARE(dsk.sector(linear(dsk, 101, 1, 15)), tagged(101, 1, 15));
        for (int id = 0; id < 16; ++id) {
            QVERIFY(dsk.sector(linear(dsk, 102, 0, id)).isEmpty());
            QVERIFY(dsk.sector(linear(dsk, 109, 1, id)).isEmpty());
        }
    }

    void maxTrackSizeZeroWithoutTableEntries()
    {
        ImageBuilder none(0, 1);
        libdsk dsk;
        int result = -99;
        QStringList lines = load(dsk, none.edsk(), "none", result);
        QCOMPARE(result, 0);
        QCOMPARE(lines.at(2), QStringLiteral("tracks: 0<br>sides: 1<br>max track size: 0"));

        ImageBuilder absent(3, 1);
        for (int t = 0; t < 3; ++t)
            absent.removeTrack(t, 0);
        lines = load(dsk, absent.edsk(), "absent", result);
        QCOMPARE(result, 48);
        QCOMPARE(lines.at(2), QStringLiteral("tracks: 3<br>sides: 1<br>max track size: 0"));
    }

    void paddedDskWithShortTrack()
    {
        ImageBuilder image(40, 1);
        tagAll(image);
        image.setPadTracks(true);
        image.removeSector(7, 0, 12);
        const QByteArray bytes = image.dsk();
        QCOMPARE(bytes.size(), 256 + 40 * 0x1100);
        libdsk dsk;
        int result = -99;
        const QStringList lines = load(dsk, bytes, "padded", result);
        QCOMPARE(result, 1);
        QCOMPARE(lines.last(), QStringLiteral("sectors (imported)  : 639"));
        QVERIFY(dsk.sector(7 * 16 + 12).isEmpty());
        QCOMPARE(dsk.sector(7 * 16 + 13), tagged(7, 0, 13));
        QCOMPARE(dsk.sector(8 * 16 + 0), tagged(8, 0, 0));
        QCOMPARE(dsk.sector(39 * 16 + 15), tagged(39, 0, 15));
    }

    void paddedDskWithShortLastTrack()
    {
        ImageBuilder image(40, 1);
        tagAll(image);
        image.setPadTracks(true);
        image.removeSector(39, 0, 0);
        libdsk dsk;
        int result = -99;
        load(dsk, image.dsk(), "padlast", result);
        QCOMPARE(result, 1);
        QCOMPARE(dsk.sector(39 * 16 + 1), tagged(39, 0, 1));
    }

    void unpaddedDskWithShortTracksReadTheOldWay()
    {
        ImageBuilder image(40, 1);
        tagAll(image);
        image.removeSector(7, 0, 12);
        image.removeSector(7, 0, 13);
        image.removeSector(20, 0, 0);
        // Track 7 lacks two sectors; where a padded file's next block would
        // start (sector 1 of track 8 here) the data happens to read
        // "Track-Info": the listed length still decides.
        QByteArray lookalike = tagged(8, 0, 1);
        lookalike.replace(0, 12, "Track-Info\r\n");
        image.setSector(8, 0, 1, lookalike);
        const QByteArray bytes = image.dsk();
        QCOMPARE(bytes.size(), 256 + 40 * 0x1100 - 3 * 256);
        libdsk dsk;
        int result = -99;
        load(dsk, bytes, "unpadded", result);
        QCOMPARE(result, 3);
        QCOMPARE(dsk.sector(8 * 16 + 0), tagged(8, 0, 0));
        QCOMPARE(dsk.sector(8 * 16 + 1), lookalike);
        QCOMPARE(dsk.sector(20 * 16 + 1), tagged(20, 0, 1));
        QCOMPARE(dsk.sector(39 * 16 + 15), tagged(39, 0, 15));
    }

    void garbageAfterShortTrackStopsTheLoad()
    {
        // Neither the listed length nor the track size leads to a block:
        // the load stops as specified.
        ImageBuilder image(40, 1);
        image.removeSector(7, 0, 12);
        QByteArray bytes = image.dsk();
        const int nextBlock = 256 + 7 * 0x1100 + 256 + 15 * 256;
        bytes.replace(nextBlock, 10, QByteArray("Trash-Info"));
        libdsk dsk;
        int result = 0;
        const QStringList lines = load(dsk, bytes, "trash", result);
        QCOMPARE(result, -6);
        QCOMPARE(lines.mid(lines.size() - 2),
                 QStringList({QStringLiteral("No track header. Funny, it shouldn't happen. Cancelling..."),
                              unknownFormat}));
    }

    // An extra copy of a sector counts once; the first copy is kept and a
    // differing copy is reported.
    void duplicateIdCountsOnce()
    {
        ImageBuilder image(40, 1);
        ImageBuilder::Sector extra;
        extra.id = 5;
        extra.data = QByteArray(256, 'd');
        image.track(3, 0).sectors.append(extra);
        libdsk dsk;
        int result = 0;
        const QStringList lines = load(dsk, image.dsk(), "dup", result);
        QCOMPARE(result, 0);
        QCOMPARE(lines.mid(lines.size() - 2),
                 QStringList({"Track 3 side 0: sector id 5 is listed twice with different data; the first copy is kept",
                              QStringLiteral("sectors (imported)  : 640")}));
        QCOMPARE(dsk.diskType(), 1);
        QCOMPARE(dsk.sector(3 * 16 + 5), image.sector(3, 0, 5)->data);
    }

    void randomBytesNeverCrash()
    {
        // A simple deterministic generator; any input must come back as a
        // result without touching memory outside the file.
        quint32 state = 12345;
        auto next = [&state]() { state = state * 1103515245u + 12345u; return quint8(state >> 16); };
        ImageBuilder image(40, 2);
        const QByteArray templates[] = {image.dsk(), image.edsk()};
        for (int round = 0; round < 200; ++round) {
            QByteArray bytes = templates[round % 2].left(256 + (round * 977) % (3 * 0x1100));
            for (int k = 0; k < 40; ++k) {
                const int pos = (next() << 8 | next()) % bytes.size();
                bytes[pos] = char(next());
            }
            libdsk dsk;
            const int result = dsk.openData(bytes, "noise");
            QVERIFY(result == -6 || (result >= 0 && result <= dsk.sectorCount()));
            for (int n = 0; n < dsk.sectorCount(); ++n) {
                const QByteArray s = dsk.sector(n);
                QVERIFY(s.isEmpty() || s.size() == 256);
            }
        }
    }
};

QTEST_GUILESS_MAIN(TestReaders)
#include "test_readers.moc"
