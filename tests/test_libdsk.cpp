#include "disk/libdsk.h"
#include "imagebuilder.h"
#include "logrender.h"

#include <QSignalSpy>
#include <QTest>

// The disk image model: accessors, geometry and the message signal.
class TestLibdsk : public QObject
{
    Q_OBJECT

private slots:
    void emptyObjectReturnsNothing()
    {
        libdsk dsk;
        QCOMPARE(dsk.diskType(), 0);
        QCOMPARE(dsk.sectorCount(), 0);
        QVERIFY(dsk.sector(0).isEmpty());
        QVERIFY(dsk.sector(0, 0, 0).isEmpty());
    }

    void linearAccessorBounds()
    {
        ImageBuilder image(40, 1);
        image.setSector(39, 0, 15, QByteArray(256, 'L'));
        libdsk dsk;
        QCOMPARE(dsk.openData(image.dsk(), "bounds"), 0);
        QCOMPARE(dsk.sectorCount(), 640);
        QVERIFY(dsk.sector(-1).isEmpty());
        QVERIFY(dsk.sector(640).isEmpty());
        QCOMPARE(dsk.sector(639), QByteArray(256, 'L'));
    }

    void singleSidedIgnoresSideArgument()
    {
        ImageBuilder image(40, 1);
        image.setSector(7, 0, 3, QByteArray(256, 'x'));
        libdsk dsk;
        dsk.openData(image.dsk(), "single");
        QCOMPARE(dsk.diskType(), 1);
        QCOMPARE(dsk.sector(7, 1, 3), dsk.sector(7, 0, 3));
        QCOMPARE(dsk.sector(7, 1, 3), QByteArray(256, 'x'));
    }

    void geometryAccessorOnDoubleSided()
    {
        ImageBuilder image(40, 2);
        image.setSector(3, 1, 5, QByteArray(256, 'q'));
        libdsk dsk;
        dsk.openData(image.dsk(), "double");
        QCOMPARE(dsk.diskType(), 2);
        QCOMPARE(dsk.sector(117), QByteArray(256, 'q'));
        QCOMPARE(dsk.sector(3, 1, 5), dsk.sector(117));
        // An id of 16 reaches sector 0 of the next side.
        image.setSector(3, 1, 0, QByteArray(256, 'n'));
        dsk.openData(image.dsk(), "double");
        QCOMPARE(dsk.sector(3, 0, 16), QByteArray(256, 'n'));
    }

    void diskTypeFollowsHeader_data()
    {
        QTest::addColumn<int>("tracks");
        QTest::addColumn<int>("sides");
        QTest::addColumn<int>("diskType");
        QTest::newRow("40x1") << 40 << 1 << 1;
        QTest::newRow("42x1") << 42 << 1 << 1;
        QTest::newRow("40x2") << 40 << 2 << 2;
        QTest::newRow("50x2") << 50 << 2 << 2;
        QTest::newRow("51x2") << 51 << 2 << 3;
        QTest::newRow("80x2") << 80 << 2 << 3;
        QTest::newRow("10x0") << 10 << 0 << 2;
    }
    void diskTypeFollowsHeader()
    {
        QFETCH(int, tracks);
        QFETCH(int, sides);
        QFETCH(int, diskType);
        ImageBuilder image(tracks, sides);
        libdsk dsk;
        QVERIFY(dsk.openData(image.dsk(), "geometry") >= 0);
        QCOMPARE(dsk.diskType(), diskType);
        QCOMPARE(dsk.sectorCount(), tracks * sides * 16);
    }

    void copiesAreIndependent()
    {
        ImageBuilder image(40, 1);
        image.setSector(0, 0, 0, QByteArray(256, 'a'));
        libdsk dsk;
        dsk.openData(image.dsk(), "copies");
        QByteArray first = dsk.sector(0);
        first[0] = 'z';
        QCOMPARE(dsk.sector(0), QByteArray(256, 'a'));
        QCOMPARE(dsk.sector(0, 0, 0), QByteArray(256, 'a'));
    }

    void resetAndFailedOpenEmpty()
    {
        ImageBuilder image(40, 1);
        libdsk dsk;
        dsk.openData(image.dsk(), "first");
        dsk.reset();
        QCOMPARE(dsk.tracks(), 0);
        QCOMPARE(dsk.sides(), 0);
        QCOMPARE(dsk.diskType(), 0);
        QVERIFY(dsk.sector(0).isEmpty());

        dsk.openData(image.dsk(), "again");
        QCOMPARE(dsk.openData("not an image", "junk"), -6);
        QCOMPARE(dsk.tracks(), 0);
        QCOMPARE(dsk.sides(), 0);
        QVERIFY(dsk.sector(0).isEmpty());
        QVERIFY(dsk.sector(0, 0, 0).isEmpty());
    }

    void messagesInEmissionOrder()
    {
        libdsk dsk;
        QSignalSpy spy(&dsk, &libdsk::message);
        dsk.openData("junk", "order");
        QCOMPARE(spy.count(), 2);
        QCOMPARE(logEntryHtml(spy.at(0).at(0).value<LogEntry>()),
                 QString("<br><hr>Opening file \"<b><i>order</i></b>\""));
        const LogEntry unknown = spy.at(1).at(0).value<LogEntry>();
        QCOMPARE(logEntryHtml(unknown), QString("Unknown file format."));
        QVERIFY(unknown.kind == LogEntry::Kind::Error);
    }
};

QTEST_GUILESS_MAIN(TestLibdsk)
#include "test_libdsk.moc"
