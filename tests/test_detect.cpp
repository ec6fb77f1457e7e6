#include "disk/formatdetect.h"
#include "disk/libdsk.h"
#include "imagebuilder.h"

#include <QTest>

// Format detection: first-byte signatures, then catalog evidence in the two
// places a TOS catalog can lie.
namespace {

// A sector of 0xE5 filler whose first byte is first.
QByteArray startingWith(quint8 first)
{
    QByteArray bytes(256, char(0xE5));
    bytes[0] = char(first);
    return bytes;
}

// A catalog sector of filler holding entry at slot (0..7).
QByteArray catalogSector(const QByteArray &entry, int slot = 0)
{
    QByteArray bytes(256, char(0xE5));
    bytes.replace(slot * 32, 32, entry);
    return bytes;
}

// A file entry: owner 0, a name starting with a letter, one block, and
// bytes 14/15 giving a size of 16 * 256 = 4096.
QByteArray validEntry()
{
    return ImageBuilder::catalogEntry(0, "GAME", "", 0, 0, 16 << 8, QByteArray(1, char(5)));
}

// Linear sector n of the image as the detector numbers it.
void setLinear(ImageBuilder &image, int n, const QByteArray &bytes)
{
    const int perTrack = 16 * image.sides();
    image.setSector(n / perTrack, (n / 16) % image.sides(), n % 16, bytes);
}

// An image the reader refuses gives a value of no layout at all.
DiskFormat detect(const ImageBuilder &image)
{
    libdsk dsk;
    if (dsk.openData(image.dsk(), "detect") < 0)
        return DiskFormat(-1);
    return detectFormat(dsk);
}

} // namespace

class TestDetect : public QObject
{
    Q_OBJECT

private slots:
    void freshlyFormattedIsUnknown()
    {
        ImageBuilder image(40, 1);
        QCOMPARE(detect(image), DiskFormat::Unknown);
    }

    void noSectorsAtAllIsUnknown()
    {
        ImageBuilder image(40, 1);
        for (int t = 0; t < 40; ++t)
            image.removeTrack(t, 0);
        QCOMPARE(detect(image), DiskFormat::Unknown);
    }

    void cpmFirstBytes()
    {
        ImageBuilder image(40, 1);
        setLinear(image, 17, startingWith(0x20));
        setLinear(image, 19, startingWith(0x32));
        QCOMPARE(detect(image), DiskFormat::Cpm);
    }

    void singleMatchesDecide()
    {
        // One CP/M match against none for TOS: tos < cpm, so CP/M.
        ImageBuilder image(40, 1);
        setLinear(image, 53, startingWith(0x3D));
        QCOMPARE(detect(image), DiskFormat::Cpm);
        // One match for each table is a tie and goes on to the catalog
        // evidence, where the TOS match counts for the A.2 side.
        setLinear(image, 2, startingWith(0x7B));
        QCOMPARE(detect(image), DiskFormat::TosA2);
    }

    void highBytesTakePartInTheComparison()
    {
        ImageBuilder image(40, 1);
        setLinear(image, 0, startingWith(0xED));
        setLinear(image, 1, startingWith(0xC3));
        QCOMPARE(detect(image), DiskFormat::Cpm);
    }

    void cpmMatchesOnlyCountAtTheirOwnSector()
    {
        ImageBuilder image(40, 1);
        setLinear(image, 18, startingWith(0x20)); // 0x20 belongs to sector 17
        setLinear(image, 20, startingWith(0x32)); // 0x32 belongs to sector 19
        QCOMPARE(detect(image), DiskFormat::Unknown);
    }

    void bytesBeyondSector63DoNotCount()
    {
        ImageBuilder image(40, 1);
        for (int n = 64; n < 128; ++n)
            setLinear(image, n, startingWith(0x20));
        setLinear(image, 64 + 17, startingWith(0x20));
        QCOMPARE(detect(image), DiskFormat::Unknown);
    }

    void feIsNoWildcard()
    {
        // With 0xFE standing for any byte, 32 CP/M entries against 18 TOS
        // entries would call this disk CP/M.
        ImageBuilder image(40, 1);
        for (int n = 0; n < 640; ++n)
            setLinear(image, n, startingWith(0x12));
        QCOMPARE(detect(image), DiskFormat::Unknown);
    }

    void feMatchesItself()
    {
        // 0xFE at every sector matches 32 CP/M entries and 18 TOS ones.
        ImageBuilder image(40, 1);
        for (int n = 0; n < 64; ++n)
            setLinear(image, n, startingWith(0xFE));
        QCOMPARE(detect(image), DiskFormat::Cpm);
    }

    void catalogEntryInFirstAreaIsA4()
    {
        ImageBuilder image(40, 1);
        setLinear(image, 9, catalogSector(validEntry(), 3));
        QCOMPARE(detect(image), DiskFormat::TosA4);
    }

    void catalogEntryInSecondAreaIsA2_data()
    {
        QTest::addColumn<int>("tracks");
        QTest::addColumn<int>("sides");
        QTest::newRow("40x1: track 4") << 40 << 1;
        QTest::newRow("40x2: track 2 side 0") << 40 << 2;
        QTest::newRow("80x2: track 2 side 0") << 80 << 2;
    }
    void catalogEntryInSecondAreaIsA2()
    {
        QFETCH(int, tracks);
        QFETCH(int, sides);
        ImageBuilder image(tracks, sides);
        setLinear(image, 64 + 11, catalogSector(validEntry(), 7));
        QCOMPARE(detect(image), DiskFormat::TosA2);
    }

    void secondAreaIsLinearNotLogical()
    {
        // On a double-sided image track 4 side 0 is linear sector 128: no area.
        ImageBuilder image(40, 2);
        image.setSector(4, 0, 0, catalogSector(validEntry()));
        QCOMPARE(detect(image), DiskFormat::Unknown);
    }

    void tosMatchesAddToTheA2Side()
    {
        ImageBuilder image(40, 1);
        setLinear(image, 5, catalogSector(validEntry(), 1));
        QCOMPARE(detect(image), DiskFormat::TosA4);
        setLinear(image, 2, startingWith(0x7B));
        QCOMPARE(detect(image), DiskFormat::Unknown); // 1 against 1
        setLinear(image, 6, startingWith(0x7F));
        QCOMPARE(detect(image), DiskFormat::TosA2); // 2 against 1
    }

    void sizeRules_data()
    {
        QTest::addColumn<int>("owner");
        QTest::addColumn<QByteArray>("name");
        QTest::addColumn<int>("byte14");
        QTest::addColumn<int>("byte15");
        QTest::addColumn<int>("blocks");
        QTest::addColumn<bool>("counts");
        QTest::newRow("1 KB: one block, 1024") << 0 << QByteArray("A") << 4 << 0 << 1 << true;
        QTest::newRow("1 KB: one block, 128") << 0 << QByteArray("A") << 0 << 1 << 1 << true;
        QTest::newRow("1 KB: two blocks, 1152") << 0 << QByteArray("A") << 4 << 1 << 2 << true;
        QTest::newRow("1 KB: two blocks, 2048") << 0 << QByteArray("A") << 8 << 0 << 2 << true;
        QTest::newRow("two blocks, 1024: neither") << 0 << QByteArray("A") << 4 << 0 << 2 << false;
        QTest::newRow("4 KB: two blocks, 8192") << 0 << QByteArray("A") << 32 << 0 << 2 << true;
        QTest::newRow("4 KB: two blocks, 8320") << 0 << QByteArray("A") << 32 << 1 << 2 << false;
        QTest::newRow("byte 14 weighs 256") << 0 << QByteArray("A") << 1 << 0 << 1 << true;
        QTest::newRow("size 0") << 0 << QByteArray("A") << 0 << 0 << 1 << false;
        QTest::newRow("no blocks") << 0 << QByteArray("A") << 4 << 0 << 0 << false;
        QTest::newRow("owner 14") << 14 << QByteArray("A") << 4 << 0 << 1 << true;
        QTest::newRow("owner 15") << 15 << QByteArray("A") << 4 << 0 << 1 << false;
        QTest::newRow("name byte 0x20") << 0 << QByteArray(" ") << 4 << 0 << 1 << true;
        QTest::newRow("name byte 0x1f") << 0 << QByteArray("\x1f") << 4 << 0 << 1 << false;
    }
    void sizeRules()
    {
        QFETCH(int, owner);
        QFETCH(QByteArray, name);
        QFETCH(int, byte14);
        QFETCH(int, byte15);
        QFETCH(int, blocks);
        QFETCH(bool, counts);
        QByteArray entry(32, '\0');
        entry[0] = char(owner);
        entry.replace(1, name.size(), name);
        entry[14] = char(byte14);
        entry[15] = char(byte15);
        for (int b = 0; b < blocks; ++b)
            entry[16 + b] = char(4 + b);
        ImageBuilder image(40, 1);
        setLinear(image, 70, catalogSector(entry, 2));
        QCOMPARE(detect(image), counts ? DiskFormat::TosA2 : DiskFormat::Unknown);
    }

    void blockCountSkipsZeroBytes()
    {
        // Non-zero bytes are counted wherever they lie among bytes 16..31.
        QByteArray entry = ImageBuilder::catalogEntry(0, "SPREAD", "", 0, 0, 12, QByteArray());
        entry[18] = 7;
        entry[31] = 9;
        ImageBuilder image(40, 1);
        setLinear(image, 3, catalogSector(entry));
        QCOMPARE(detect(image), DiskFormat::TosA4); // 1536 bytes in two blocks
    }

    void directoryMarker()
    {
        QByteArray marker(32, '\0');
        marker[0] = char(0xFF);
        marker.replace(1, 8, "VOLUME  ");
        marker.replace(9, 3, "DIR");
        marker[12] = char(0x42);
        ImageBuilder image(40, 1);
        setLinear(image, 12, catalogSector(marker, 5));
        QCOMPARE(detect(image), DiskFormat::TosA4);

        marker[11] = '\0';
        setLinear(image, 12, catalogSector(marker, 5));
        QCOMPARE(detect(image), DiskFormat::Unknown);

        marker[11] = 'R';
        marker[0] = char(0xFE);
        setLinear(image, 12, catalogSector(marker, 5));
        QCOMPARE(detect(image), DiskFormat::Unknown);
    }

    void eachEntryCountsOnce()
    {
        // Two valid entries in the first area against one in the second.
        ImageBuilder image(40, 1);
        QByteArray twoEntries = catalogSector(validEntry(), 0);
        twoEntries.replace(32, 32, validEntry());
        setLinear(image, 1, twoEntries);
        setLinear(image, 64, catalogSector(validEntry()));
        QCOMPARE(detect(image), DiskFormat::TosA4);
        setLinear(image, 65, catalogSector(validEntry()));
        QCOMPARE(detect(image), DiskFormat::Unknown);
    }

    void missingCatalogSectorsNeverCount()
    {
        ImageBuilder image(40, 1);
        for (int id = 0; id < 16; ++id)
            image.removeSector(0, 0, id);
        for (int id = 1; id < 16; ++id)
            image.removeSector(4, 0, id);
        QCOMPARE(detect(image), DiskFormat::Unknown);
        image.setSector(4, 0, 0, catalogSector(validEntry(), 4));
        QCOMPARE(detect(image), DiskFormat::TosA2);
    }

    void detectionReadsOnlyTheLoadedImage()
    {
        libdsk dsk;
        QCOMPARE(detectFormat(dsk), DiskFormat::Unknown);
        QCOMPARE(dsk.openData("junk", "junk"), -6);
        QCOMPARE(detectFormat(dsk), DiskFormat::Unknown);
    }
};

QTEST_GUILESS_MAIN(TestDetect)
#include "test_detect.moc"
