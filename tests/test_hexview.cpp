#include "imagebuilder.h"
#include "mainwindow.h"
#include "views/hexview.h"
#include "views/palette.h"

#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QFile>
#include <QFontInfo>
#include <QFontMetrics>
#include <QImage>
#include <QMap>
#include <QPainter>
#include <QLabel>
#include <QLineEdit>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QToolBox>

#include <memory>

namespace {

const QChar bar(0x00FE);

// The character column as a user reads it: printable ASCII and the font's
// block and user-defined graphics, a space for everything else.
QChar expectedChar(int byte)
{
    if (byte >= 0x21 && byte <= 0xA4)
        return QChar(byte);
    return QLatin1Char(' ');
}

// One dump line, filled into the line template placeholder by placeholder.
QString expectedLine(const QByteArray &data, int offset)
{
    QString line = QStringLiteral("%1 \u00fe %2 %3 %4 %5 \u00fe %6 %7 %8 %9 \u00fe %10 %11 %12 %13 "
                                  "\u00fe %14 %15 %16 %17 \u00fe %18");
    line = line.arg(offset, 5, 16, QLatin1Char('0'));
    QString characters;
    for (int i = 0; i < 16; ++i) {
        const int byte = static_cast<quint8>(data.at(offset + i));
        line = line.arg(byte, 2, 16, QLatin1Char('0'));
        characters += expectedChar(byte);
    }
    return line.arg(characters);
}

// The whole dump: per sector its 16 lines and two blank ones.
QString expectedDump(const QByteArray &data, int sectors)
{
    QStringList texts;
    for (int i = 0; i < sectors; ++i) {
        QStringList lines;
        for (int l = 0; l < 16; ++l)
            lines << expectedLine(data, 256 * i + 16 * l);
        texts << lines.join(QLatin1Char('\n')) + QStringLiteral("\n\n");
    }
    return texts.join(QLatin1Char('\n'));
}

// Two sectors to search: "GAME" at 0x20 and 0x130, the bytes fe 01 at
// 0x40, 0xfe and 0x1f0 (the first crossing two lines), 0x0d and the pound
// sign's 0x60 at 0x50.
QByteArray searchSectors()
{
    QByteArray data(512, '\0');
    data.replace(0x20, 4, "GAME");
    data.replace(0x130, 4, "GAME");
    for (int at : {0x40, 0xfe, 0x1f0}) {
        data[at] = char(0xFE);
        data[at + 1] = char(0x01);
    }
    data.replace(0x50, 4, "A\rB\x60");
    return data;
}

QByteArray countingSector()
{
    QByteArray sector(256, '\0');
    for (int i = 0; i < 256; ++i)
        sector[i] = char(i);
    return sector;
}

// Every sector of the image holds the same bytes, so the logical order of
// the sectors does not matter for what the dump shows.
ImageBuilder uniformImage(int tracks, int sides, const QByteArray &sector)
{
    ImageBuilder image(tracks, sides);
    for (int t = 0; t < tracks; ++t)
        for (int s = 0; s < sides; ++s)
            for (int id = 0; id < 16; ++id)
                image.setSector(t, s, id, sector);
    return image;
}

} // namespace

class TestHexView : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir dir;
    std::unique_ptr<MainWindow> window;

    QString writeImage(const QString &name, const QByteArray &bytes)
    {
        const QString path = dir.filePath(name);
        if (!writeTestFile(path, bytes))
            qFatal("cannot write %s", qPrintable(path));
        return path;
    }

    MainWindow &open(const QStringList &paths)
    {
        window.reset(new MainWindow);
        window->resize(700, 800);
        window->show();
        window->openImages(paths);
        return *window;
    }

    MainWindow &openOne(const ImageBuilder &image)
    {
        return open({writeImage(QStringLiteral("one.dsk"), image.dsk())});
    }

    HexView *hexView() { return window->findChild<HexView *>(QStringLiteral("hexView")); }
    QTableWidget *table() { return window->findChild<QTableWidget *>(QStringLiteral("dskList")); }
    QString line(int n) { return hexView()->lineText(n); }

    QTableWidgetItem *mapCell(int row) { return table()->item(row, 3); }

    // The dump against the expected text, line by line, so that a failure
    // names the first line that differs.
    bool dumpIs(const QString &expected, QString *why)
    {
        // Line texts as shown, the user-defined graphic 0xA0 (a no-break
        // space code) included.
        QStringList shown;
        for (int n = 0; n < hexView()->lineCount(); ++n)
            shown << line(n);
        const QStringList wanted = expected.split(QLatin1Char('\n'));
        for (int i = 0; i < qMin(shown.size(), wanted.size()); ++i) {
            if (shown.at(i) != wanted.at(i)) {
                *why = QStringLiteral("line %1: \"%2\", expected \"%3\"").arg(i).arg(shown.at(i), wanted.at(i));
                return false;
            }
        }
        *why = QStringLiteral("%1 lines, expected %2").arg(shown.size()).arg(wanted.size());
        return shown.size() == wanted.size();
    }

    // The viewport as painted.
    QImage shot() { return hexView()->viewport()->grab().toImage().convertToFormat(QImage::Format_RGB32); }

    // Line n as it belongs at the top of the viewport, scrolled across by
    // the horizontal scroll bar: its tint behind its text, in the view's font.
    QImage expectedTopLine(int n)
    {
        HexView *view = hexView();
        QImage image(view->viewport()->width(), view->lineHeight(), QImage::Format_RGB32);
        image.fill(view->palette().color(QPalette::Base));
        QPainter painter(&image);
        painter.setFont(view->font());
        painter.setPen(view->palette().color(QPalette::Text));
        const QFontMetrics metrics(view->font());
        const int x = HexView::margin - view->horizontalScrollBar()->value();
        painter.fillRect(QRect(x, 0, metrics.horizontalAdvance(line(n)), image.height()), view->lineBackground(n));
        painter.drawText(x, metrics.ascent(), line(n));
        return image;
    }

    // The band of one line height at y in the viewport.
    QImage lineShownAt(int y) { return shot().copy(0, y, hexView()->viewport()->width(), hexView()->lineHeight()); }
    QImage topLineShown() { return lineShownAt(0); }

    // A tint as it shows on the view's paper.
    QRgb onPaper(const QColor &tint)
    {
        QImage image(1, 1, QImage::Format_RGB32);
        image.fill(hexView()->palette().color(QPalette::Base));
        QPainter(&image).fillRect(0, 0, 1, 1, tint);
        return image.pixel(0, 0);
    }

    // An image of two sectors, every track's first two holding data.
    MainWindow &openSearchImage()
    {
        const QByteArray data = searchSectors();
        ImageBuilder image(1, 1, '\0');
        image.setLogicalSector(0, data.left(256), false);
        image.setLogicalSector(1, data.mid(256), false);
        return openOne(image);
    }

    QLineEdit *findField() { return window->findChild<QLineEdit *>(QStringLiteral("hexFindField")); }

    // The colour most pixels of box have: the paper behind a byte's glyphs.
    static QRgb paperOf(const QImage &image, const QRect &box)
    {
        QMap<QRgb, int> counts;
        for (int y = box.top(); y <= box.bottom(); ++y)
            for (int x = box.left(); x <= box.right(); ++x)
                ++counts[image.pixel(x, y)];
        QRgb most = 0;
        for (auto it = counts.constBegin(); it != counts.constEnd(); ++it)
            if (it.value() > counts.value(most))
                most = it.key();
        return most;
    }

    int rowNamed(const QString &name)
    {
        for (int row = 0; row < table()->rowCount(); ++row)
            if (table()->item(row, 0)->text() == name)
                return row;
        return -1;
    }

private slots:
    void init() { QVERIFY(dir.isValid()); }
    void cleanup() { window.reset(); }

    void openingShowsTheDumpOnTheHexViewPage()
    {
        openOne(uniformImage(1, 1, countingSector()));
        QCOMPARE(window->findChild<QToolBox *>(QStringLiteral("toolBox"))->currentIndex(), 1);
        QCOMPARE(hexView()->lineCount(), 16 * 18);
    }

    void firstAndLastLinesOfASector()
    {
        openOne(uniformImage(1, 1, countingSector()));
        QCOMPARE(line(0), QStringLiteral("00000 \u00fe 00 01 02 03 \u00fe 04 05 06 07 \u00fe 08 09 0a 0b \u00fe "
                                         "0c 0d 0e 0f \u00fe                 "));
        QCOMPARE(line(15), QStringLiteral("000f0 \u00fe f0 f1 f2 f3 \u00fe f4 f5 f6 f7 \u00fe f8 f9 fa fb \u00fe "
                                          "fc fd fe ff \u00fe                 "));
        // A blank line closes each sector before the next one starts.
        QCOMPARE(line(16), QString());
        QVERIFY(line(18).startsWith(QStringLiteral("00100 \u00fe 00 01 02 03 \u00fe")));
        QVERIFY(line(18 + 15).startsWith(QStringLiteral("001f0 \u00fe f0 f1 f2 f3 \u00fe")));
        QVERIFY(line(15 * 18 + 15).startsWith(QStringLiteral("00ff0 \u00fe f0")));
    }

    void wholeDumpFollowsTheLineTemplate()
    {
        QByteArray sector(256, '\0');
        for (int i = 0; i < 256; ++i)
            sector[i] = char((i * 37 + 11) & 0xFF);
        openOne(uniformImage(1, 1, sector));
        const QByteArray data = mapCell(0)->data(MainWindow::SectorDataRole).toByteArray();
        QCOMPARE(data.size(), 16 * 256);
        QString why;
        QVERIFY2(dumpIs(expectedDump(data, 16), &why), qPrintable(why));
    }

    void exampleLineOfTheLetters()
    {
        QByteArray sector(256, '\0');
        for (int i = 0; i < 16; ++i)
            sector[0x10 + i] = char('A' + i);
        openOne(uniformImage(1, 1, sector));
        QCOMPARE(line(1), QStringLiteral("00010 \u00fe 41 42 43 44 \u00fe 45 46 47 48 \u00fe 49 4a 4b 4c \u00fe "
                                         "4d 4e 4f 50 \u00fe ABCDEFGHIJKLMNOP"));
    }

    void characterColumnMapping()
    {
        openOne(uniformImage(1, 1, countingSector()));
        for (int l = 0; l < 16; ++l) {
            const QString column = line(l).right(16);
            QCOMPARE(line(l).at(line(l).size() - 18), bar);
            for (int c = 0; c < 16; ++c) {
                const int byte = 16 * l + c;
                if (column.at(c) != expectedChar(byte))
                    QFAIL(qPrintable(QStringLiteral("byte 0x%1 shown as U+%2")
                                         .arg(byte, 2, 16, QLatin1Char('0'))
                                         .arg(column.at(c).unicode(), 4, 16, QLatin1Char('0'))));
            }
        }
    }

    void dumpUsesTheSpectrumFontWithItsGlyphs()
    {
        openOne(uniformImage(1, 1, countingSector()));
        const QFont font = hexView()->font();
        QCOMPARE(QFontInfo(font).family(), QStringLiteral("Spectrum"));
        QCOMPARE(font.pointSize(), 8);
        const QFontMetrics metrics(font);
        for (int code : {0x21, 0x7F, 0x80, 0x8F, 0x90, 0xA4, 0xFE})
            QVERIFY2(metrics.inFont(QChar(code)), qPrintable(QString::number(code, 16)));
    }

    void tintsPerSectorFromTheStatusMap()
    {
        ImageBuilder image = uniformImage(1, 1, QByteArray(256, char(0x55)));
        image.removeSector(0, 0, 3);
        image.removeSector(0, 0, 9);
        openOne(image);
        const QByteArray map = mapCell(0)->data(MainWindow::SectorMapRole).toByteArray();
        QCOMPARE(map.size(), 16);
        QCOMPARE(map.count('\0'), 2);

        const QRgb good = qRgba(64, 255, 64, 16);
        const QRgb bad = qRgba(255, 128, 128, 32);
        for (int i = 0; i < 16; ++i) {
            const QRgb expected = map.at(i) ? good : bad;
            for (int l = 0; l < 16; ++l) {
                // One tint for the whole line (painted across its text).
                const QColor background = hexView()->lineBackground(18 * i + l);
                QVERIFY(background.isValid());
                QCOMPARE(background.rgba(), expected);
                const QString text = line(18 * i + l);
                if (!map.at(i)) {
                    QCOMPARE(text.mid(5),
                             QStringLiteral(" \u00fe 00 00 00 00 \u00fe 00 00 00 00 \u00fe 00 00 00 00 "
                                            "\u00fe 00 00 00 00 \u00fe                 "));
                } else {
                    QVERIFY(text.endsWith(QStringLiteral("UUUUUUUUUUUUUUUU")));
                }
            }
            // The blank lines between sectors stay untinted.
            QVERIFY(!hexView()->lineBackground(18 * i + 16).isValid());
            QVERIFY(!hexView()->lineBackground(18 * i + 17).isValid());
        }
    }

    void tintFollowsTheStatusByteNotTheData()
    {
        // A working copy marks sectors claimed by a file with 2: still read.
        openOne(uniformImage(1, 1, QByteArray(256, char(0x55))));
        QByteArray map(16, char(1));
        map[5] = char(2);
        map[6] = char(0);
        mapCell(0)->setData(MainWindow::SectorMapRole, map);
        table()->clearSelection();
        table()->selectRow(0);
        QCOMPARE(hexView()->lineCount(), 16 * 18);
        auto tintOf = [this](int sector) { return hexView()->lineBackground(18 * sector + 3).rgba(); };
        QCOMPARE(tintOf(4), qRgba(64, 255, 64, 16));
        QCOMPARE(tintOf(5), qRgba(64, 255, 64, 16));
        QCOMPARE(tintOf(6), qRgba(255, 128, 128, 32));
        QVERIFY(line(18 * 6 + 3).startsWith(QStringLiteral("00630 \u00fe 55 55")));
    }

    void markupInTheDataStaysPlainText()
    {
        // The first line of each sector decides, for a text view's automatic
        // detection, whether the sector would be read as markup.
        QByteArray sector(256, ' ');
        sector.replace(0, 16, "<b>bold</b>&lt;!");
        sector.replace(16, 16, "&lt;i&gt;<hr>  x");
        openOne(uniformImage(1, 1, sector));
        const QByteArray data = mapCell(0)->data(MainWindow::SectorDataRole).toByteArray();
        QString why;
        QVERIFY2(dumpIs(expectedDump(data, 16), &why), qPrintable(why));
        QVERIFY(line(18 * 5).endsWith(QStringLiteral("<b>bold</b>&lt;!")));
        // Every line is drawn in the one font of the view: nothing turns bold.
        QVERIFY(hexView()->font().weight() <= QFont::Normal);
    }

    void addressesGrowToSixDigits()
    {
        // 130 tracks on two sides: 4,160 sectors, past offset 0x100000.
        openOne(uniformImage(130, 2, countingSector()));
        QCOMPARE(hexView()->lineCount(), 4160 * 18);
        QVERIFY(line(4095 * 18 + 15).startsWith(QStringLiteral("ffff0 \u00fe f0")));
        QVERIFY(line(4096 * 18).startsWith(QStringLiteral("100000 \u00fe 00 01")));
        QVERIFY(line(4159 * 18 + 15).startsWith(QStringLiteral("103ff0 \u00fe f0")));
    }

    void anotherImageReplacesTheDumpAndScrollsToTheTop()
    {
        const QString alpha = writeImage(QStringLiteral("alpha.dsk"), ImageBuilder(1, 1, 'A').dsk());
        const QString beta = writeImage(QStringLiteral("beta.dsk"), ImageBuilder(2, 1, 'B').dsk());
        open({alpha, beta});
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        const int alphaRow = rowNamed(QStringLiteral("alpha"));
        const int betaRow = rowNamed(QStringLiteral("beta"));
        QVERIFY(alphaRow >= 0 && betaRow >= 0);

        table()->setCurrentCell(alphaRow, 0);
        QCoreApplication::processEvents();
        QCOMPARE(hexView()->lineCount(), 16 * 18);
        QVERIFY(line(0).startsWith(QStringLiteral("00000 \u00fe 41 41")));

        QScrollBar *scroll = hexView()->verticalScrollBar();
        scroll->setValue(scroll->maximum());
        QVERIFY(scroll->value() > 0);

        table()->setCurrentCell(betaRow, 0);
        QCOMPARE(scroll->value(), 0);
        QCoreApplication::processEvents();
        QCOMPARE(scroll->value(), 0);
        QCOMPARE(hexView()->lineCount(), 32 * 18);
        QVERIFY(line(0).startsWith(QStringLiteral("00000 \u00fe 42 42")));
        QVERIFY(!hexView()->toPlainText().contains(QStringLiteral("41 41")));
        QVERIFY(line(17 * 18 + 15).endsWith(QStringLiteral("BBBBBBBBBBBBBBBB")));
    }

    void linesNeverWrap()
    {
        openOne(uniformImage(1, 1, countingSector()));
        HexView *view = hexView();
        const int lineWidth = QFontMetrics(view->font()).horizontalAdvance(line(0));
        const int contentWidth = lineWidth + 2 * HexView::margin;

        // Kept narrower than its lines (the window gives it their width).
        view->setMinimumWidth(100);
        window->resize(400, 800);
        QCoreApplication::processEvents();
        QVERIFY(view->viewport()->width() < lineWidth);
        QCOMPARE(view->horizontalScrollBar()->maximum(), contentWidth - view->viewport()->width());
        QCOMPARE(view->lineCount(), 16 * 18);
        QCOMPARE(view->verticalScrollBar()->maximum(),
                 16 * 18 * view->lineHeight() + 2 * HexView::margin - view->viewport()->height());

        window->resize(contentWidth + 600, 800);
        QCoreApplication::processEvents();
        QVERIFY(view->viewport()->width() >= contentWidth);
        QCOMPARE(view->horizontalScrollBar()->maximum(), 0);
    }

    void paintsTheLinesScrolledTo()
    {
        openOne(uniformImage(2, 1, countingSector()));
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        HexView *view = hexView();
        view->setMinimumWidth(100);
        window->resize(500, 800);
        QCoreApplication::processEvents();
        QCOMPARE(view->firstVisibleLine(), 0);
        // At the top the margin stays above the first line.
        QCOMPARE(lineShownAt(HexView::margin), expectedTopLine(0));

        const int target = 18 * 20 + 5;
        view->scrollToLine(target);
        QCOMPARE(view->firstVisibleLine(), target);
        QVERIFY(line(target).startsWith(QStringLiteral("01450 ")));
        QCOMPARE(topLineShown(), expectedTopLine(target));
        QVERIFY(topLineShown() != expectedTopLine(target + 1));

        // Across to the character column, the same line still on top.
        view->horizontalScrollBar()->setValue(view->horizontalScrollBar()->maximum());
        QVERIFY(view->horizontalScrollBar()->value() > 0);
        QCOMPARE(topLineShown(), expectedTopLine(target));

        // Part way into a line, by the scroll bar as a user drags it.
        view->verticalScrollBar()->setValue(HexView::margin + 7 * view->lineHeight() + view->lineHeight() / 2);
        QCOMPARE(view->firstVisibleLine(), 7);
    }

    void tintsAsPainted()
    {
        // Spaces in the character column leave its cells free of ink.
        ImageBuilder image = uniformImage(1, 1, QByteArray(256, ' '));
        image.removeSector(0, 0, 6);
        openOne(image);
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        const QByteArray map = mapCell(0)->data(MainWindow::SectorMapRole).toByteArray();
        const int missing = map.indexOf('\0');
        const int held = missing == 0 ? 1 : 0;
        QVERIFY(missing >= 0 && map.at(held) != 0);

        HexView *view = hexView();
        view->horizontalScrollBar()->setValue(view->horizontalScrollBar()->maximum());
        const int textEnd = HexView::margin + QFontMetrics(view->font()).horizontalAdvance(line(0))
                            - view->horizontalScrollBar()->value();
        QVERIFY(textEnd + 2 < view->viewport()->width());
        const int middle = view->lineHeight() / 2;
        const QRgb paper = onPaper(Qt::transparent);
        QVERIFY(onPaper(goodSectorColour) != paper);
        QVERIFY(onPaper(badSectorColour) != paper);
        QVERIFY(onPaper(goodSectorColour) != onPaper(badSectorColour));

        view->scrollToLine(18 * held + 4);
        QCOMPARE(shot().pixel(textEnd - 3, middle), onPaper(goodSectorColour));
        QCOMPARE(shot().pixel(textEnd - 3, 0), onPaper(goodSectorColour));
        QCOMPARE(shot().pixel(textEnd + 2, middle), paper);

        view->scrollToLine(18 * missing + 4);
        QCOMPARE(shot().pixel(textEnd - 3, middle), onPaper(badSectorColour));
        QCOMPARE(shot().pixel(textEnd - 3, view->lineHeight() - 1), onPaper(badSectorColour));
        QCOMPARE(shot().pixel(textEnd + 2, middle), paper);

        // The blank lines after a sector keep the paper.
        view->scrollToLine(18 * missing + 16);
        QCOMPARE(shot().pixel(textEnd - 3, middle), paper);
    }

    void suspectSectorsHaveATintOfTheirOwn()
    {
        // A data error: read, but suspect. Spaces leave the character column
        // free of ink.
        ImageBuilder image = uniformImage(1, 1, QByteArray(256, ' '));
        image.sector(0, 0, 9)->st1 = 0x20;
        image.sector(0, 0, 9)->st2 = 0x20;
        image.removeSector(0, 0, 6);
        open({writeImage(QStringLiteral("suspect.dsk"), image.edsk())});
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        HexView *view = hexView();
        QMap<SectorState, int> sectorOf;
        for (int sector = 0; sector < 16; ++sector)
            sectorOf.insert(view->sectorState(sector), sector);
        QCOMPARE(sectorOf.size(), 3);
        QCOMPARE(mapCell(0)->data(MainWindow::SectorMapRole).toByteArray().indexOf('\0'), sectorOf.value(SectorState::Missing));

        view->horizontalScrollBar()->setValue(view->horizontalScrollBar()->maximum());
        const int x = HexView::margin + QFontMetrics(view->font()).horizontalAdvance(line(0))
                      - view->horizontalScrollBar()->value() - 3;
        auto painted = [&](SectorState state) {
            const int shown = 18 * sectorOf.value(state) + 4;
            view->scrollToLine(shown);
            const int y = HexView::margin + shown * view->lineHeight() - view->verticalScrollBar()->value();
            return shot().pixel(x, y + view->lineHeight() / 2);
        };
        const QRgb suspect = painted(SectorState::Suspect);
        QCOMPARE(suspect, onPaper(sectorLook(SectorState::Suspect).hexTint));
        QVERIFY(suspect != painted(SectorState::Good));
        QVERIFY(suspect != painted(SectorState::Missing));
        QVERIFY(suspect != onPaper(Qt::transparent));
    }

    // Selecting, copying and finding, as a user does it.
    void findNextAndPrevious_data()
    {
        QTest::addColumn<int>("kind"); // 0 text, 1 hex
        QTest::addColumn<QString>("what");
        QTest::addColumn<QList<int>>("steps"); // 1 next, -1 previous
        QTest::addColumn<QList<int>>("found"); // the selection's start, -1 none
        QTest::addColumn<QString>("status");   // the find bar's last word

        QTest::newRow("text, next and on round") << 0 << "GAME" << QList<int>{1, 1, 1}
                                                 << QList<int>{0x20, 0x130, 0x20} << "Started over at the top";
        QTest::newRow("text, previous from the top") << 0 << "GAME" << QList<int>{-1, -1}
                                                     << QList<int>{0x130, 0x20} << "";
        QTest::newRow("hex with a blank") << 1 << "fe 01" << QList<int>{1, 1, 1, -1}
                                          << QList<int>{0x40, 0xfe, 0x1f0, 0xfe} << "";
        QTest::newRow("hex in capitals, no blank") << 1 << "FE01" << QList<int>{-1}
                                                   << QList<int>{0x1f0} << "";
        QTest::newRow("text with the pound sign") << 0 << "B\u00a3" << QList<int>{1} << QList<int>{0x52} << "";
        QTest::newRow("absent text") << 0 << "GAMES" << QList<int>{1} << QList<int>{-1} << "Not found";
        QTest::newRow("not hex") << 1 << "fg" << QList<int>{1} << QList<int>{-1} << "Not hex bytes: fg";
    }

    void findNextAndPrevious()
    {
        QFETCH(int, kind);
        QFETCH(QString, what);
        QFETCH(QList<int>, steps);
        QFETCH(QList<int>, found);
        QFETCH(QString, status);
        openSearchImage();
        QApplication::setActiveWindow(window.get());
        QVERIFY(QTest::qWaitForWindowActive(window.get()));
        HexView *view = hexView();
        view->setFocus();
        // Ctrl+F shows the bar; the kind and the text go in; F3 and
        // Shift+F3 find from the field and from the view alike.
        QTest::keyClick(view, Qt::Key_F, Qt::ControlModifier);
        QVERIFY(view->findBar()->isVisible());
        window->findChild<QComboBox *>(QStringLiteral("hexFindKind"))->setCurrentIndex(kind);
        QTest::keyClicks(findField(), what);
        QList<int> starts;
        for (int i = 0; i < steps.size(); ++i) {
            QWidget *keys = i % 2 == 0 ? static_cast<QWidget *>(findField()) : view;
            QTest::keyClick(keys, Qt::Key_F3, steps.at(i) < 0 ? Qt::ShiftModifier : Qt::NoModifier);
            starts << (view->selectionLength() > 0 && view->cursorPosition() >= 0 ? int(view->selectionStart()) : -1);
        }
        const QList<int> lastFound = found.last() < 0 ? QList<int>{} : found;
        if (found.last() < 0)
            QCOMPARE(view->cursorPosition(), qint64(-1));
        else
            QCOMPARE(starts, lastFound);
        QCOMPARE(window->findChild<QLabel *>(QStringLiteral("hexFindStatus"))->text(), status);
        if (found.last() >= 0) {
            // The match is selected and in view.
            const QByteArray needle = kind == 1 ? HexView::parseHexBytes(what) : HexView::textBytes(what);
            QCOMPARE(view->selectedBytes(), needle);
            QVERIFY(view->viewport()->rect().contains(view->byteRect(found.last())));
        }
    }

    void findKeysLeaveTheWindowsF3AloneWithoutAText()
    {
        // F3 is the window's next damaged sector until there is something to find.
        ImageBuilder image = uniformImage(1, 1, countingSector());
        image.removeSector(0, 0, 9);
        openOne(image);
        QApplication::setActiveWindow(window.get());
        QVERIFY(QTest::qWaitForWindowActive(window.get()));
        hexView()->setFocus();
        QTest::keyClick(hexView(), Qt::Key_F3);
        QVERIFY(hexView()->firstVisibleLine() > 0);
        QCOMPARE(hexView()->cursorPosition(), qint64(-1));
    }

    void copyAsHexAndAsText_data()
    {
        QTest::addColumn<int>("from");
        QTest::addColumn<int>("rights"); // Shift+Right presses
        QTest::addColumn<int>("downs");  // Shift+Down presses
        QTest::addColumn<QString>("hex");
        QTest::addColumn<QString>("text");
        QTest::newRow("one byte") << 0x20 << 0 << 0 << "47" << "G";
        QTest::newRow("a word") << 0x20 << 3 << 0 << "47 41 4d 45" << "GAME";
        QTest::newRow("enter and pound") << 0x50 << 3 << 0 << "41 0d 42 60" << "A\nB\u00a3";
        QTest::newRow("across a line") << 0x4e << 3 << 0 << "00 00 41 0d" << "..A\n";
        QTest::newRow("down a line, across sectors") << 0xfe << 1 << 1 << QStringLiteral("fe 01").append(QString(" 00").repeated(16))
                                                     << QString(".").repeated(18);
    }

    void copyAsHexAndAsText()
    {
        QFETCH(int, from);
        QFETCH(int, rights);
        QFETCH(int, downs);
        QFETCH(QString, hex);
        QFETCH(QString, text);
        openSearchImage();
        QApplication::setActiveWindow(window.get());
        QVERIFY(QTest::qWaitForWindowActive(window.get()));
        HexView *view = hexView();
        view->scrollToLine(from / 256 * HexView::linesPerSector + from % 256 / 16);
        QSignalSpy chosen(view, &HexView::positionChosen);
        QTest::mouseClick(view->viewport(), Qt::LeftButton, Qt::NoModifier, view->byteRect(from).center());
        QCOMPARE(chosen.count(), 1);
        QCOMPARE(chosen.first().first().toLongLong(), qint64(from));
        for (int i = 0; i < rights; ++i)
            QTest::keyClick(view, Qt::Key_Right, Qt::ShiftModifier);
        for (int i = 0; i < downs; ++i)
            QTest::keyClick(view, Qt::Key_Down, Qt::ShiftModifier);
        QCOMPARE(view->selectionStart(), qint64(from));
        QTest::keyClick(view, Qt::Key_C, Qt::ControlModifier);
        QCOMPARE(QApplication::clipboard()->text(), hex);
        QTest::keyClick(view, Qt::Key_C, Qt::ControlModifier | Qt::ShiftModifier);
        QCOMPARE(QApplication::clipboard()->text(), text);
    }

    void dragSelectsAndPaintsTheSelection()
    {
        openSearchImage();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        HexView *view = hexView();
        QWidget *area = view->viewport();
        // From the hex digits of 0x22 to the character of 0x35.
        QTest::mousePress(area, Qt::LeftButton, Qt::NoModifier, view->byteRect(0x22).center());
        QMouseEvent move(QEvent::MouseMove, view->byteRect(0x35, true).center(), Qt::NoButton, Qt::LeftButton,
                         Qt::NoModifier);
        QApplication::sendEvent(area, &move);
        QTest::mouseRelease(area, Qt::LeftButton, Qt::NoModifier, view->byteRect(0x35, true).center());
        QCOMPARE(view->selectionStart(), qint64(0x22));
        QCOMPARE(view->selectionLength(), qint64(0x14));

        // Selected bytes lie on the highlight, the others on the sector's tint.
        const QImage shot = area->grab().toImage().convertToFormat(QImage::Format_RGB32);
        const QRgb highlight = view->palette().color(QPalette::Highlight).rgb();
        // (0x35 has the cursor's frame around its hex digits.)
        for (qint64 byte : {0x22, 0x2f, 0x30, 0x34})
            for (bool character : {false, true})
                QCOMPARE(paperOf(shot, view->byteRect(byte, character)), highlight);
        QCOMPARE(paperOf(shot, view->byteRect(0x35, true)), highlight);
        for (qint64 byte : {0x21, 0x36})
            for (bool character : {false, true})
                QVERIFY(paperOf(shot, view->byteRect(byte, character)) != highlight);
    }

    void showRangeHighlightsTheExtentAndScrollsToIt_data()
    {
        QTest::addColumn<int>("offset");
        QTest::addColumn<int>("length");
        QTest::newRow("a sector's first lines") << 0x300 << 0x50;
        QTest::newRow("inside a line") << 0x1234 << 5;
        QTest::newRow("over a sector's end") << 0x7f8 << 20;
    }

    void showRangeHighlightsTheExtentAndScrollsToIt()
    {
        QFETCH(int, offset);
        QFETCH(int, length);
        openOne(uniformImage(2, 1, QByteArray(256, '\0')));
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        HexView *view = hexView();
        view->showRange(offset, length);
        QCOMPARE(view->firstVisibleLine(), offset / 256 * HexView::linesPerSector + offset % 256 / 16);
        const QImage shot = view->viewport()->grab().toImage().convertToFormat(QImage::Format_RGB32);
        const QRgb inside = paperOf(shot, view->byteRect(offset));
        // Blue over the sector's green tint.
        QVERIFY(qBlue(inside) > qGreen(inside));
        // Every byte on screen near the range's ends: inside on the range's
        // tint, outside not.
        int checked = 0;
        for (qint64 byte : {offset - 2, offset - 1, offset, offset + 1, offset + length - 2, offset + length - 1,
                            offset + length, offset + length + 1}) {
            const QRect box = view->byteRect(byte);
            if (!view->viewport()->rect().contains(box))
                continue;
            ++checked;
            const bool inRange = byte >= offset && byte < offset + length;
            QCOMPARE(paperOf(shot, box) == inside, inRange);
        }
        QVERIFY(checked >= 4);
        view->clearRange();
        QCOMPARE(view->rangeLength(), qint64(0));
        const QImage cleared = view->viewport()->grab().toImage().convertToFormat(QImage::Format_RGB32);
        QVERIFY(paperOf(cleared, view->byteRect(offset)) != inside);
    }

    void wholeLineInViewAtTheFirstStartSize()
    {
        // A 255-track image has six-digit addresses, the widest lines.
        window.reset(new MainWindow);
        window->resize(1000, 700);
        window->show();
        window->openImages({writeImage(QStringLiteral("wide.dsk"), ImageBuilder(255, 2).dsk())});
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        QCOMPARE(window->width(), 1000);
        HexView *view = hexView();
        const qint64 last = view->byteCount() - 1;
        view->setCursorPosition(last);
        QVERIFY(view->viewport()->rect().contains(view->byteRect(last, true)));
        QCOMPARE(view->horizontalScrollBar()->maximum(), 0);
        QVERIFY(view->width() >= view->minimumSizeHint().width());
        // Seen in the window, not cut off by the page around the view.
        const QRect character = view->byteRect(last, true);
        const QPoint right(character.right(), character.center().y());
        QVERIFY(view->viewport()->visibleRegion().contains(right));
        QVERIFY(window->rect().contains(view->viewport()->mapTo(window.get(), right)));
    }
};

int main(int argc, char *argv[])
{
    QCoreApplication::setOrganizationName(QStringLiteral("kestrin"));
    QCoreApplication::setApplicationName(QStringLiteral("malvore"));
    QApplication app(argc, argv);
    TestHexView test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_hexview.moc"
