// Previews of a rescued file: BASIC listings checked against listbasic
// (fuse-emulator-utils), screen pictures against a second, plain reading
// of the same bytes, damage marks, the choice of preview and the exports.
#include "rescuetestutil.h"
#include "tap/libtap.h"
#include "views/basiclisting.h"
#include "views/previewpanel.h"
#include "views/screenpreview.h"

#include <QApplication>
#include <QBitArray>
#include <QImage>
#include <QProcess>
#include <QRandomGenerator>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

using rescuetest::readFile;
using rescuetest::writeFile;
using rescuetest::LogicalImage;

namespace {

// A line of a program: its number, the length of its bytes, its bytes and
// the end-of-line byte.
QByteArray line(int number, const QByteArray &text)
{
    const QByteArray body = text + '\x0d';
    QByteArray bytes;
    bytes.append(char(number >> 8)).append(char(number & 0xFF));
    bytes.append(char(body.size() & 0xFF)).append(char(body.size() >> 8));
    return bytes + body;
}

// A number as typed, followed by the hidden form of value (a small integer).
QByteArray number(const QByteArray &typed, int value)
{
    return typed + QByteArray("\x0e\x00\x00", 3) + char(value & 0xFF) + char(value >> 8) + '\0';
}

QByteArray bytes(std::initializer_list<int> values)
{
    QByteArray result;
    for (int value : values)
        result.append(char(value));
    return result;
}

QByteArray programHeader(int autostart, int length, int variables)
{
    QByteArray header(1, '\0');
    header += rescuetest::word(autostart) + rescuetest::word(length) + rescuetest::word(variables);
    return header;
}

// The sample disks' programs, as the rescue finds them.
QVector<QPair<QString, QByteArray>> samplePrograms()
{
    QVector<QPair<QString, QByteArray>> programs;
    for (const char *image : {"tos-a2-basic.dsk", "tos-a2-80ds.dsk", "tos-a4.dsk", "damaged.dsk"}) {
        const ImageRow row = loadImage(QStringLiteral(MALVORE_SOURCE_DIR "/samples/") + QLatin1String(image),
                                       ReadOptions())
                                 .row;
        ConversionOptions options;
        options.dryRun = true;
        options.collectDetails = true;
        for (const FileSummary &file : convertImage(row, options, [](const LogEntry &) {}).files) {
            if (file.type != QLatin1String("basic") || file.origin != FileOrigin::Catalog)
                continue;
            const FileContent content = fileContent(row, file);
            programs.append({file.name, content.header + content.body});
        }
    }
    return programs;
}

// The listing of a 7-byte header and its body, by listbasic.
QString listbasic(const QString &tool, const QString &folder, const QByteArray &file)
{
    const QByteArray body = file.mid(7);
    const int autostart = quint8(file.at(1)) | (quint8(file.at(2)) << 8);
    const int variables = quint8(file.at(5)) | (quint8(file.at(6)) << 8);
    libtap tap;
    tap.addProgram(QStringLiteral("PROGRAM"), body, autostart, variables);
    const QString path = folder + QStringLiteral("/program.tap");
    if (!writeFile(path, tap.archive()))
        return QStringLiteral("<not written>");
    QProcess process;
    process.start(tool, {path});
    if (!process.waitForFinished(30000) || process.exitCode() != 0)
        return QStringLiteral("<listbasic failed: %1>").arg(QString::fromLocal8Bit(process.readAllStandardError()));
    return QString::fromLatin1(process.readAllStandardOutput());
}

// The colours of the screen, normal then bright, written out.
const QRgb spectrumColours[16] = {
    0xFF000000, 0xFF0000D7, 0xFFD70000, 0xFFD700D7, 0xFF00D700, 0xFF00D7D7, 0xFFD7D700, 0xFFD7D7D7,
    0xFF000000, 0xFF0000FF, 0xFFFF0000, 0xFFFF00FF, 0xFF00FF00, 0xFF00FFFF, 0xFFFFFF00, 0xFFFFFFFF,
};

// Where pixel (x, y) lies in the bitmap: the third, the pixel row within
// the character row, the character row within the third, the column.
int bitmapAddress(int x, int y)
{
    return (y / 64) * 2048 + (y % 8) * 256 + ((y % 64) / 8) * 32 + x / 8;
}

int attributeAddress(int x, int y)
{
    return 6144 + (y / 8) * 32 + x / 8;
}

// The picture, pixel by pixel, the plain way.
QImage plainPicture(const QByteArray &screen)
{
    auto at = [&screen](int i) { return i < screen.size() ? quint8(screen.at(i)) : 0; };
    QImage picture(256, 192, QImage::Format_RGB32);
    for (int y = 0; y < 192; ++y) {
        for (int x = 0; x < 256; ++x) {
            const bool ink = (at(bitmapAddress(x, y)) >> (7 - x % 8)) & 1;
            const int attribute = at(attributeAddress(x, y));
            const int index = ink ? attribute & 7 : (attribute >> 3) & 7;
            picture.setPixel(x, y, spectrumColours[index + ((attribute & 0x40) ? 8 : 0)]);
        }
    }
    return picture;
}

FileSummary summary(const QString &type, int headerSize, int length, int sectors, int start = -1)
{
    FileSummary file;
    file.name = QStringLiteral("FILE");
    file.file = QStringLiteral("FILE.dat");
    file.type = type;
    file.headerSize = headerSize;
    file.length = length;
    file.bodyLength = length - headerSize;
    file.start = start;
    for (int s = 0; s < sectors; ++s)
        file.sectors.append(s);
    return file;
}

// A row holding bytes from logical sector 0, with the sectors given missing
// or suspect.
ImageRow rowOf(const QByteArray &bytes, const QVector<int> &missing = {}, const QVector<int> &suspect = {})
{
    LogicalImage image((bytes.size() + 255) / 256 + 1, '\0');
    image.setBytes(0, bytes);
    for (int sector : missing)
        image.setBad(sector);
    ConversionJob job = image.job(QStringLiteral("row"), 40, DiskFormat::TosA4, QStringLiteral("."));
    for (int sector = 0; sector < image.map.size(); ++sector) {
        const bool read = image.map.at(sector) != 0;
        job.states.append(char(!read ? SectorState::Missing
                               : suspect.contains(sector) ? SectorState::Suspect
                                                          : SectorState::Good));
    }
    return job.row();
}

} // namespace

class TestPreviews : public QObject
{
    Q_OBJECT

    QTemporaryDir dir;

private slots:
    // Listings of the sample programs and of programs that use every token,
    // graphics, colour codes and numbers, as listbasic prints them.
    void listingMatchesListbasic_data()
    {
        QTest::addColumn<QByteArray>("file"); // the 7-byte header and the body

        for (const auto &program : samplePrograms())
            QTest::newRow(qPrintable(QStringLiteral("sample ") + program.first)) << program.second;

        QByteArray everyToken;
        for (int token = 0xA3; token <= 0xFF; ++token)
            everyToken += line(token, QByteArray("a") + char(token) + 'b');
        QByteArray inARow;
        for (int token = 0xA3; token <= 0xFF; ++token)
            inARow += char(token);
        QByteArray spaced = QByteArray("\xf5 \xf5  \xf5") + "1 \xc5 2 \xc6" + number("3", 3);
        QByteArray graphics;
        for (int code = 0x80; code <= 0xA2; ++code)
            graphics += char(code);
        graphics += "\x7f`^\"quoted\"";
        const QByteArray controls = bytes({0xF5, 0x10, 0x02, '"', 'x', '"', 0x16, 0x01, 0x02, '"', 'y', '"', 0x06,
                                           0x08, 0x00, 0x05, 0x11, 0x0D, 0x0D, 0xF5, '2', 0x17, 0x0E, 0x00, ';'});
        const QByteArray numbers = QByteArray("\xf9\xc0") + number("32768", 7) + ":\xf1x=" + number("3.5e2", 350)
                                   + "+" + number("0", 0) + ":\xfd" + number("65535", 65535);
        const QByteArray program = line(0, "\xea" "first") + line(9999, inARow)
                                   + line(16383, spaced) + line(20, graphics) + line(30, controls)
                                   + line(40, numbers) + line(50, "\xf5" + number("1", 1) + "\x0e");
        const QByteArray stop = line(16384, "\xf5\"never listed\"");

        auto file = [](const QByteArray &body, int variables, int autostart = 10) {
            return programHeader(autostart, body.size(), variables) + body;
        };
        QTest::newRow("every token between two letters") << file(everyToken, everyToken.size());
        QTest::newRow("tokens, graphics, colour codes, numbers") << file(program, program.size(), 0x8000);
        QTest::newRow("a line numbered 16384 ends the listing") << file(program + stop, program.size() + stop.size());
        const QByteArray variables = bytes({0x61, 0, 0, 1, 0, 0, 0x81, 2, 0, 'a', 'b'});
        QTest::newRow("variables after the program") << file(program + variables, program.size());
    }

    void listingMatchesListbasic()
    {
        QFETCH(QByteArray, file);
        const QString tool = QStandardPaths::findExecutable(QStringLiteral("listbasic"));
        if (tool.isEmpty())
            QSKIP("listbasic is not installed (Debian package fuse-emulator-utils; scripts/install-deps installs it)");
        const QString expected = listbasic(tool, dir.path(), file);
        const QString listing = basicListing(basicLines(basicProgram(file.left(7), file.mid(7))));
        QCOMPARE(listing.split(QLatin1Char('\n')), expected.split(QLatin1Char('\n')));
    }

    // The lines that hold bytes of a damaged sector are marked, and the
    // variables after the program are not listed.
    void listingMarksDamagedLines_data()
    {
        QTest::addColumn<int>("damaged"); // sector of the file
        QTest::addColumn<bool>("missing"); // or suspect: its bytes are there

        QTest::newRow("first sector suspect") << 0 << false;
        QTest::newRow("second sector suspect") << 1 << false;
        QTest::newRow("third sector suspect") << 2 << false;
        QTest::newRow("second sector missing") << 1 << true;
        QTest::newRow("third sector missing") << 2 << true;
    }

    void listingMarksDamagedLines()
    {
        QFETCH(int, damaged);
        QFETCH(bool, missing);
        QByteArray program;
        QVector<QPair<int, int>> extents; // of each line, from the file's first byte
        for (int n = 1; n <= 40; ++n) {
            const QByteArray bytes = line(n * 10, "\xf5\"" + QByteArray(n % 7 + 20, char('A' + n % 26)) + "\"");
            extents.append({7 + program.size(), bytes.size()});
            program += bytes;
        }
        const QByteArray variables = bytes({0x61, 0, 0, 5, 0, 0});
        const QByteArray file = programHeader(10, program.size() + variables.size(), program.size()) + program
                                + variables;
        QVERIFY(file.size() > 3 * 256);
        const FileSummary basic = summary(QStringLiteral("basic"), 7, file.size(), (file.size() + 255) / 256);

        PreviewPanel whole;
        whole.showFile(rowOf(file), basic);
        QCOMPARE(whole.text().count(QLatin1Char('\n')), 40); // no variable listed
        QVERIFY(whole.damagedLines().isEmpty());

        PreviewPanel panel;
        panel.showFile(missing ? rowOf(file, {damaged}) : rowOf(file, {}, {damaged}), basic);
        QCOMPARE(panel.kind(), PreviewPanel::Kind::Listing);
        // The lines before the damage are listed as they are, unmarked; the
        // first line it touches is marked, and so are all of them where the
        // bytes are there to list.
        QVector<int> touched;
        for (int i = 0; i < extents.size(); ++i) {
            const int first = extents.at(i).first;
            const int last = first + extents.at(i).second - 1;
            if (first / 256 <= damaged && last / 256 >= damaged)
                touched.append(i);
        }
        const QStringList lines = panel.text().split(QLatin1Char('\n'));
        const QStringList wholeLines = whole.text().split(QLatin1Char('\n'));
        QCOMPARE(lines.mid(0, touched.first()), wholeLines.mid(0, touched.first()));
        if (missing)
            QCOMPARE(panel.damagedLines().value(0), touched.first());
        else
            QCOMPARE(panel.damagedLines(), touched);
    }

    // The picture's pixels, as a plain reading of the same bytes gives them.
    void screenPixels_data()
    {
        QTest::addColumn<QByteArray>("screen");

        QByteArray cells(6912, '\0');
        for (int i = 0; i < 6144; ++i)
            cells[i] = char(i % 3 == 0 ? 0xF0 : i % 3 == 1 ? 0x0F : 0x81);
        for (int i = 0; i < 768; ++i)
            cells[6144 + i] = char(i & 0xFF); // every attribute: bright, flash, each ink on each paper
        QTest::newRow("every attribute") << cells;

        QByteArray noise(6912, '\0');
        QRandomGenerator random(19);
        for (char &byte : noise)
            byte = char(random.bounded(256));
        QTest::newRow("random bytes") << noise;

        QByteArray rows(6912, '\0');
        for (int y = 0; y < 192; ++y)
            rows[bitmapAddress(y, y)] = char(0x80 >> (y % 8)); // a diagonal
        for (int i = 6144; i < 6912; ++i)
            rows[i] = char(0x38); // black ink on white paper
        QTest::newRow("a diagonal line") << rows;
        QTest::newRow("cut short") << noise.left(3000);
    }

    void screenPixels()
    {
        QFETCH(QByteArray, screen);
        const QImage picture = screenPicture(screen);
        const QImage expected = plainPicture(screen);
        QCOMPARE(picture.size(), QSize(256, 192));
        int differing = 0;
        for (int y = 0; y < 192; ++y)
            for (int x = 0; x < 256; ++x)
                differing += picture.pixel(x, y) != expected.pixel(x, y);
        QCOMPARE(differing, 0);
    }

    // A missing sector of a screen file marks the pixel rows its bytes
    // draw: bitmap rows, or the eight rows of an attribute row.
    void screenMarksDamagedRows_data()
    {
        QTest::addColumn<int>("missing");

        QTest::newRow("first sector (header and bitmap)") << 0;
        QTest::newRow("bitmap only") << 9;
        QTest::newRow("bitmap and attributes") << 24;
        QTest::newRow("attributes only") << 26;
    }

    void screenMarksDamagedRows()
    {
        QFETCH(int, missing);
        QByteArray body(6912, char(0x55));
        const QByteArray file = QByteArray(1, '\3') + rescuetest::word(6912) + rescuetest::word(16384) + body;
        PreviewPanel panel;
        panel.showFile(rowOf(file, {missing}), summary(QStringLiteral("code"), 5, file.size(), 28, 16384));
        QCOMPARE(panel.kind(), PreviewPanel::Kind::Screen);

        // A row is damaged when a pixel of it takes its bitmap byte or its
        // attribute from the missing sector.
        const int from = missing * 256 - 5;
        const int to = from + 256;
        QBitArray expected(192);
        for (int y = 0; y < 192; ++y)
            for (int x = 0; x < 256; x += 8)
                for (int address : {bitmapAddress(x, y), attributeAddress(x, y)})
                    if (address >= from && address < to)
                        expected.setBit(y);
        QCOMPARE(panel.screenView()->damagedRows(), expected);
        QVERIFY(panel.text().isEmpty());
    }

    // The preview follows what the file holds.
    void previewKind_data()
    {
        QTest::addColumn<QString>("type");
        QTest::addColumn<int>("headerSize");
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("firstLine");

        const QByteArray text = "Dear diary,\r\nthe disk still spins.\r\n";
        QTest::newRow("program") << "basic" << 7 << line(10, "\xfb") << int(PreviewPanel::Kind::Listing)
                                 << "   10 CLS ";
        QTest::newRow("screen") << "code" << 5 << QByteArray(6912, '\0') << int(PreviewPanel::Kind::Screen)
                                << QString();
        QTest::newRow("code") << "code" << 5 << bytes({0xF3, 0x31, 0, 0xFF, 'A'}) << int(PreviewPanel::Kind::Code)
                              << "8000  f3 31 00 ff 41 " + QString(10, QLatin1Char(' ')) + ".1..A";
        QTest::newRow("text") << "data" << 0 << text << int(PreviewPanel::Kind::Text) << "Dear diary,";
        QTest::newRow("binary data") << "data" << 0 << bytes({1, 2, 3, 0xC9}) << int(PreviewPanel::Kind::Hex)
                                     << "0000  01 02 03 c9 " + QString(13, QLatin1Char(' ')) + "....";
        QTest::newRow("character array") << "char array" << 5 << QByteArray("\x01\x02\x00HELLO   WORLD   HELLO   WORLD   ", 35)
                                         << int(PreviewPanel::Kind::Text)
                                         << QString::fromUtf8("\u00b7\u00b7\u00b7HELLO   WORLD   HELLO   WORLD   ");
    }

    void previewKind()
    {
        QFETCH(QString, type);
        QFETCH(int, headerSize);
        QFETCH(QByteArray, body);
        QFETCH(int, kind);
        QFETCH(QString, firstLine);
        QByteArray header;
        if (headerSize == 7)
            header = programHeader(10, body.size(), body.size());
        else if (headerSize == 5)
            header = QByteArray(1, '\3') + rescuetest::word(body.size()) + rescuetest::word(0x8000);
        const QByteArray file = header + body;
        PreviewPanel panel;
        panel.showFile(rowOf(file), summary(type, headerSize, file.size(), (file.size() + 255) / 256, 0x8000));
        QCOMPARE(int(panel.kind()), kind);
        QCOMPARE(panel.text().section(QLatin1Char('\n'), 0, 0), firstLine);
        QVERIFY(panel.damagedLines().isEmpty());
    }

    // Export listing writes the text shown; Export picture a PNG of the
    // picture shown.
    void exports()
    {
        PreviewPanel panel;
        const QByteArray program = line(10, "\xea hello") + line(20, "\xf5" + number("1", 1));
        panel.showFile(rowOf(programHeader(10, program.size(), program.size()) + program),
                       summary(QStringLiteral("basic"), 7, program.size() + 7, 1));
        const QString listing = dir.filePath("listing.txt");
        QVERIFY(panel.exportListing(listing));
        QCOMPARE(readFile(listing), QByteArray("   10 REM  hello\n   20 PRINT 1\n"));
        QVERIFY(!panel.exportPicture(dir.filePath("none.png")));

        QByteArray screen(6912, '\0');
        for (int i = 0; i < 6912; ++i)
            screen[i] = char(i * 7);
        const QByteArray file = QByteArray(1, '\3') + rescuetest::word(6912) + rescuetest::word(16384) + screen;
        panel.showFile(rowOf(file), summary(QStringLiteral("code"), 5, file.size(), 28, 16384));
        const QString picture = dir.filePath("screen.png");
        QVERIFY(panel.exportPicture(picture));
        QImage saved(picture);
        QCOMPARE(saved.convertToFormat(QImage::Format_RGB32), plainPicture(screen));
    }
};

QTEST_MAIN(TestPreviews)
#include "test_previews.moc"
