#include "rescuetestutil.h"
#include "tap/libtap.h"

#include <QTemporaryDir>
#include <QTest>

using namespace rescuetest;

// The tape archive writer: records, Spectrum headers and the add operations.
class TestTap : public QObject
{
    Q_OBJECT

    QTemporaryDir dir;

    QString path(const QString &name) const { return dir.filePath(name); }

    QByteArray saved(const libtap &tap, const QString &name = QStringLiteral("out.tap"))
    {
        const int result = tap.saveTap(path(name));
        if (result != 0)
            return QByteArray("<saveTap returned ") + QByteArray::number(result) + '>';
        return readFile(path(name));
    }

private slots:
    void initTestCase() { QVERIFY(dir.isValid()); }

    void screenCodeExample()
    {
        libtap tap;
        const QByteArray screen = pattern(6912, 1);
        QCOMPARE(tap.addCode("screen", screen, 16384), 1);
        const QByteArray file = saved(tap);
        QCOMPARE(file.size(), 21 + 6912 + 4);
        QCOMPARE(file.left(21).toHex(' '),
                 QByteArray("13 00 00 03 53 43 52 45 45 4e 20 20 20 20 00 1b 00 40 00 80 d4"));
        QCOMPARE(file.mid(21, 3).toHex(' '), QByteArray("02 1b ff"));
        QCOMPARE(file.mid(24, 6912), screen);
        quint8 sum = 0xFF;
        for (char c : screen)
            sum ^= quint8(c);
        QCOMPARE(quint8(file.at(file.size() - 1)), sum);
    }

    void loaderProgramExample()
    {
        libtap tap;
        QCOMPARE(tap.addProgram("loader", QByteArray(100, 'x'), -1, -1), 1);
        QCOMPARE(saved(tap).left(21).toHex(' '),
                 QByteArray("13 00 00 00 4c 4f 41 44 45 52 20 20 20 20 64 00 00 80 64 00 91"));
    }

    void toolCodeWithDefaultStart()
    {
        libtap tap;
        tap.addCode("tool", QByteArray(1000, '\x01'), -1);
        QCOMPARE(saved(tap).left(21).toHex(' '),
                 QByteArray("13 00 00 03 54 4f 4f 4c 20 20 20 20 20 20 e8 03 18 fc 00 80 94"));
    }

    void emptyListSavesEmptyFile()
    {
        QVERIFY(writeFile(path("empty.tap"), "old contents"));
        libtap tap;
        QCOMPARE(tap.saveTap(path("empty.tap")), 0);
        QVERIFY(QFile::exists(path("empty.tap")));
        QCOMPARE(QFileInfo(path("empty.tap")).size(), 0);
    }

    void largestPayloadAccepted()
    {
        libtap tap;
        const QByteArray data = pattern(65533, 2);
        QCOMPARE(tap.addCode("big", data, 0), 1);
        const QByteArray file = saved(tap);
        QCOMPARE(file.size(), 21 + 65537);
        QCOMPARE(file.mid(21, 3).toHex(' '), QByteArray("ff ff ff"));
        QCOMPARE(file.mid(24, 65533), data);
        // The header carries the length FD FF.
        QCOMPARE(file.mid(14, 2).toHex(' '), QByteArray("fd ff"));
    }

    void oversizedPayloadRefused()
    {
        libtap tap;
        QCOMPARE(tap.addCode("big", QByteArray(65534, 'a'), 0), -1);
        QCOMPARE(tap.addProgram("big", QByteArray(65534, 'a'), 0, 0), -1);
        QCOMPARE(tap.addFile("big", QByteArray(65534, 'a'), 3, 0, 0), -1);
        QCOMPARE(tap.blockList().size(), 0);
        QCOMPARE(saved(tap), QByteArray());
        // Refusals leave earlier blocks alone.
        QCOMPARE(tap.addCode("ok", "a", 0), 1);
        QCOMPARE(tap.addCode("big", QByteArray(70000, 'a'), 0), -1);
        QCOMPARE(tap.blockList().size(), 2);
    }

    void emptyDataBlock()
    {
        libtap tap;
        QCOMPARE(tap.addCode("", QByteArray(), -1), 1);
        const QByteArray file = saved(tap);
        QCOMPARE(file.size(), 25);
        // Empty name: ten spaces; default start 0x10000 written as 00 00.
        QCOMPARE(file.left(21).toHex(' '),
                 QByteArray("13 00 00 03 20 20 20 20 20 20 20 20 20 20 00 00 00 00 00 80 83"));
        QCOMPARE(file.mid(21).toHex(' '), QByteArray("02 00 ff ff"));
    }

    void explicitProgramParameters()
    {
        libtap tap;
        tap.addProgram("p", QByteArray(200, '\0'), 10, 80);
        const QByteArray file = saved(tap);
        QCOMPARE(file.mid(14, 6).toHex(' '), QByteArray("c8 00 0a 00 50 00"));
    }

    void parametersWrittenModulo65536()
    {
        libtap tap;
        tap.addProgram("p", "abc", 0x12345, 0x10002);
        QCOMPARE(saved(tap).mid(14, 6).toHex(' '), QByteArray("03 00 45 23 02 00"));
    }

    void nameHandling_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("stored");
        QTest::newRow("ten letters") << "abcdefghij" << QByteArray("ABCDEFGHIJ");
        QTest::newRow("twelve lower-case letters") << "abcdefghijkl" << QByteArray("ABCDEFGHIJ");
        QTest::newRow("empty") << "" << QByteArray("          ");
        QTest::newRow("short") << "ab.c" << QByteArray("AB.C      ");
        QTest::newRow("outside Latin-1") << QString::fromUtf8("x\u0416\u4e2dy") << QByteArray("X??Y      ");
        QTest::newRow("Latin-1 kept") << QString::fromUtf8("\u00e9t\u00e9") << QByteArray("\xc9T\xc9       ");
        QTest::newRow("leading spaces kept") << "  a" << QByteArray("  A       ");
    }

    void nameHandling()
    {
        QFETCH(QString, name);
        QFETCH(QByteArray, stored);
        const QString original = name;
        libtap tap;
        tap.addCode(name, "z", 0);
        const QByteArray file = saved(tap);
        QCOMPARE(file.mid(4, 10), stored);
        QCOMPARE(name, original);
        // The checksum covers the stored name bytes.
        quint8 sum = 0;
        for (char c : file.mid(3, 17))
            sum ^= quint8(c);
        QCOMPARE(quint8(file.at(20)), sum);
    }

    void addFileSelectsByLowByte()
    {
        libtap tap;
        QCOMPARE(tap.addFile("c", "abc", 0x103, 0x4000, 77), 1);
        QCOMPARE(tap.addFile("p", "abcd", 0x100, 5, -1), 3);
        const QByteArray expected = tapPair(3, "C         ", "abc", 0x4000, 0x8000)
            + tapPair(0, "P         ", "abcd", 5, 4);
        QCOMPARE(saved(tap).toHex(' '), expected.toHex(' '));
    }

    void addFileRefusesOtherTypes_data()
    {
        QTest::addColumn<int>("type");
        QTest::newRow("number array") << 1;
        QTest::newRow("character array") << 2;
        QTest::newRow("data") << 4;
        QTest::newRow("0x41") << 0x41;
        QTest::newRow("0xff") << 0xFF;
    }

    void addFileRefusesOtherTypes()
    {
        QFETCH(int, type);
        libtap tap;
        QCOMPARE(tap.addFile("x", "abc", type, 1, 2), -1);
        QCOMPARE(tap.blockList().size(), 0);
        QCOMPARE(saved(tap), QByteArray());
    }

    void pairsIndexedAfterClear()
    {
        libtap tap;
        QCOMPARE(tap.addCode("a", "1", 0), 1);
        QCOMPARE(tap.addProgram("b", "2", -1, -1), 3);
        QCOMPARE(tap.addCode("c", "3", 0), 5);
        tap.clear();
        QCOMPARE(saved(tap), QByteArray());
        QCOMPARE(tap.addProgram("d", "4", -1, -1), 1);
        QCOMPARE(saved(tap), tapPair(0, "D         ", "4", 0x8000, 1));
    }

    void blocksStoredWithFlagsAndChecksums()
    {
        libtap tap;
        tap.addCode("abc", "\x01\x02\x04", 1);
        const QList<TapBlock> &blocks = tap.blockList();
        QCOMPARE(blocks.size(), 2);
        QCOMPARE(int(blocks.at(0).flag), 0x00);
        QCOMPARE(blocks.at(0).data.size(), 17);
        QCOMPARE(int(blocks.at(1).flag), 0xFF);
        QCOMPARE(blocks.at(1).data, QByteArray("\x01\x02\x04"));
        QCOMPARE(int(blocks.at(1).checksum), 0xFF ^ 0x07);
    }

    void twoSavesIdenticalAndReplaceContents()
    {
        libtap tap;
        tap.addCode("one", pattern(300, 3), 1234);
        tap.addProgram("two", pattern(40, 4), 1, 30);
        const QByteArray expected = tapPair(3, "ONE       ", pattern(300, 3), 1234, 0x8000)
            + tapPair(0, "TWO       ", pattern(40, 4), 1, 30);
        QVERIFY(writeFile(path("twice.tap"), QByteArray(5000, 'q')));
        QCOMPARE(saved(tap, "twice.tap"), expected);
        QCOMPARE(saved(tap, "twice.tap"), expected);
        QCOMPARE(tap.blockList().size(), 4);
    }

    void unopenablePathFails()
    {
        QVERIFY(writeFile(path("plain"), "file"));
        libtap tap;
        tap.addCode("x", "y", 0);
        QCOMPARE(tap.saveTap(path("plain/below.tap")), -1);
        QCOMPARE(tap.saveTap(path("missing/dir/x.tap")), -1);
        QCOMPARE(tap.saveTap(dir.path()), -1);
        QVERIFY(!QFile::exists(path("missing")));
        QCOMPARE(readFile(path("plain")), QByteArray("file"));
        // The list survives the failure.
        QCOMPARE(tap.blockList().size(), 2);
    }
};

QTEST_GUILESS_MAIN(TestTap)
#include "test_tap.moc"
