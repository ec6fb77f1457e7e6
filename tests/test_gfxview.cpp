#include "imagebuilder.h"
#include "mainwindow.h"
#include "views/gfxview.h"
#include "views/hexview.h"
#include "views/sectormapview.h"

#include <QApplication>
#include <QFile>
#include <QGraphicsScene>
#include <QGraphicsTextItem>
#include <QGraphicsView>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QSlider>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QToolBox>
#include <QWheelEvent>

#include <memory>

namespace {

constexpr int scale = 4;
constexpr int rowBytes = 128; // one cell row of 16 cells
const QRgb ink = qRgba(0, 0, 0, 255);
const QRgb paper = qRgba(255, 255, 255, 255);

// The pixel a cell grid shifted by shift bytes shows at (x, y) of the
// unenlarged picture: cell x / 8 of cell row y / 8, byte y % 8 of the cell,
// most significant bit leftmost; bytes past the data read as zero.
bool expectedInk(const QByteArray &data, int shift, int x, int y)
{
    const int position = shift + rowBytes * (y / 8) + 8 * (x / 8) + y % 8;
    const quint8 byte = position < data.size() ? static_cast<quint8>(data.at(position)) : 0;
    return byte & (0x80 >> (x % 8));
}

QImage render(QGraphicsScene *scene, const QRectF &source, QRgb fill)
{
    QImage image(source.size().toSize(), QImage::Format_ARGB32);
    image.fill(fill);
    QPainter painter(&image);
    scene->render(&painter, QRectF(image.rect()), source);
    return image;
}

// The bytes 5, 133 and 248..255 of every sector set: a bar in pixel row 5
// of the first cell, two dots in the same row of the next cell row, and a
// full last cell in every second cell row.
QByteArray markedSector()
{
    QByteArray sector(256, '\0');
    sector[5] = char(0xFF);
    sector[133] = char(0x81);
    for (int i = 248; i < 256; ++i)
        sector[i] = char(0xFF);
    return sector;
}

// Bytes that differ from sector to sector and from position to position.
QByteArray noisySector(int track, int side, int id)
{
    QByteArray sector(256, '\0');
    quint32 state = 0x9E3779B9u ^ quint32(track * 131 + side * 17 + id);
    for (int i = 0; i < 256; ++i) {
        state = state * 1664525u + 1013904223u;
        sector[i] = char(state >> 24);
    }
    return sector;
}

} // namespace

class TestGfxView : public QObject
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

    void open(const QStringList &paths)
    {
        window.reset(new MainWindow);
        window->resize(700, 800);
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        window->openImages(paths);
    }

    static ImageBuilder uniformImage(int tracks, const QByteArray &sector)
    {
        ImageBuilder image(tracks, 1);
        for (int t = 0; t < tracks; ++t)
            for (int id = 0; id < 16; ++id)
                image.setSector(t, 0, id, sector);
        return image;
    }

    static ImageBuilder noisyImage(int tracks)
    {
        ImageBuilder image(tracks, 1);
        for (int t = 0; t < tracks; ++t)
            for (int id = 0; id < 16; ++id)
                image.setSector(t, 0, id, noisySector(t, 0, id));
        return image;
    }

    void openOne(const ImageBuilder &image)
    {
        open({writeImage(QStringLiteral("one.dsk"), image.dsk())});
    }

    void showGraphicsPage()
    {
        toolBox()->setCurrentIndex(2);
        QCoreApplication::processEvents();
    }

    QToolBox *toolBox() { return window->findChild<QToolBox *>(QStringLiteral("toolBox")); }
    QTableWidget *table() { return window->findChild<QTableWidget *>(QStringLiteral("dskList")); }
    QGraphicsView *view() { return window->findChild<QGraphicsView *>(QStringLiteral("gfxView")); }
    QSlider *slider() { return window->findChild<QSlider *>(QStringLiteral("gfxShift")); }
    QLabel *shiftLabel() { return window->findChild<QLabel *>(QStringLiteral("gfxValue")); }
    GfxView *gfx() { return window->findChild<GfxView *>(QStringLiteral("gfxView")); }
    HexView *hex() { return window->findChild<HexView *>(QStringLiteral("hexView")); }
    QFont spectrumFont() { return window->findChild<HexView *>(QStringLiteral("hexView"))->font(); }

    QByteArray imageData(int row = 0) { return table()->item(row, 3)->data(MainWindow::SectorDataRole).toByteArray(); }

    QGraphicsItem *picture()
    {
        if (!view()->scene())
            return nullptr;
        for (QGraphicsItem *item : view()->scene()->items())
            if (item->type() == GfxPictureItem::Type)
                return item;
        return nullptr;
    }

    // Compares the enlarged picture in scene rows firstY .. firstY + height
    // with the data; reports the first pixel that differs.
    bool pictureMatches(const QByteArray &data, int shift, int firstY, int height, QString *why)
    {
        const QImage image = render(view()->scene(), QRectF(0, firstY, 512, height), qRgb(255, 0, 0));
        for (int y = 0; y < height; ++y) {
            const QRgb *line = reinterpret_cast<const QRgb *>(image.constScanLine(y));
            for (int x = 0; x < 512; ++x) {
                const QRgb expected = expectedInk(data, shift, x / scale, (firstY + y) / scale) ? ink : paper;
                if (line[x] != expected) {
                    *why = QStringLiteral("shift %1: pixel (%2, %3) is %4, expected %5")
                               .arg(shift).arg(x).arg(firstY + y)
                               .arg(line[x], 8, 16, QLatin1Char('0'))
                               .arg(expected, 8, 16, QLatin1Char('0'));
                    return false;
                }
            }
        }
        return true;
    }

    // The picture as the view shows it on screen: every row of the
    // viewport, partly shown cell rows at its edges included, sampled in the
    // middle of every enlarged pixel.
    bool viewMatches(const QByteArray &data, int shift, QString *why)
    {
        const QImage shot = view()->viewport()->grab().toImage().convertToFormat(QImage::Format_ARGB32);
        const int pictureHeight = int(picture()->boundingRect().height());
        int checked = 0;
        for (int row = 0; row < shot.height(); ++row) {
            const qreal sceneY = view()->mapToScene(QPoint(0, row)).y();
            if (sceneY < 0 || sceneY >= pictureHeight)
                continue;
            const int y = int(sceneY) / scale;
            for (int x = 0; x < 128; ++x) {
                const int column = view()->mapFromScene(QPointF(scale * x + 2, sceneY)).x();
                if (column < 0 || column >= shot.width())
                    continue;
                const QRgb expected = expectedInk(data, shift, x, y) ? ink : paper;
                const QRgb shown = shot.pixel(column, row);
                if (shown != expected) {
                    *why = QStringLiteral("shift %1: picture pixel (%2, %3) shown as %4 in viewport row %5")
                               .arg(shift).arg(x).arg(y).arg(shown, 8, 16, QLatin1Char('0')).arg(row);
                    return false;
                }
                ++checked;
            }
        }
        if (checked < 128 * 100) {
            *why = QStringLiteral("only %1 pixels visible").arg(checked);
            return false;
        }
        return true;
    }

    // The label of cell row j against a plain text item holding text at
    // (-100, 32 j) in the same font.
    bool labelMatches(int row, const QString &text, QString *why)
    {
        const QRectF area(-100, 32 * row, 96, 32);
        const QImage shown = render(view()->scene(), area, paper);
        QGraphicsScene reference;
        QGraphicsTextItem *label = reference.addText(text, spectrumFont());
        label->setPos(-100, 32 * row);
        const QImage expected = render(&reference, area, paper);
        if (shown != expected) {
            *why = QStringLiteral("label of row %1 differs from \"%2\"").arg(row).arg(text);
            return false;
        }
        int inked = 0;
        for (int y = 0; y < shown.height(); ++y)
            for (int x = 0; x < shown.width(); ++x)
                inked += qGray(shown.pixel(x, y)) < 128;
        if (inked < 20) {
            *why = QStringLiteral("label of row %1 is blank").arg(row);
            return false;
        }
        return true;
    }

    bool isBlank(const QRectF &area)
    {
        const QImage image = render(view()->scene(), area, paper);
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                if (image.pixel(x, y) != paper)
                    return false;
        return true;
    }

    // Brings the image's Map cell down to its first sector and reselects it.
    void keepFirstSectorOnly()
    {
        QTableWidgetItem *map = table()->item(table()->currentRow(), 3);
        map->setData(MainWindow::SectorDataRole, map->data(MainWindow::SectorDataRole).toByteArray().left(256));
        map->setData(MainWindow::SectorMapRole, QByteArray(1, char(1)));
        table()->clearSelection();
        table()->selectRow(table()->currentRow());
    }

private slots:
    void init() { QVERIFY(dir.isValid()); }
    void cleanup() { window.reset(); }

    void knownPatternWithShiftZero()
    {
        openOne(uniformImage(1, markedSector()));
        showGraphicsPage();
        QVERIFY(picture());
        QCOMPARE(picture()->boundingRect(), QRectF(0, 0, 512, 16 * 64));
        const QImage image = render(view()->scene(), QRectF(0, 0, 512, 16 * 64), qRgb(255, 0, 0));
        auto pixel = [&image](int x, int y) { return image.pixel(x, y); };
        for (int x = 0; x < 32; ++x) {
            QCOMPARE(pixel(x, 0), paper);  // pixel row 0 of cell 0
            QCOMPARE(pixel(x, 20), ink);   // pixel row 5 of cell 0: byte 5
            QCOMPARE(pixel(x, 23), ink);
            QCOMPARE(pixel(x, 24), paper);
        }
        QCOMPARE(pixel(32, 20), paper);    // cell 1 starts with byte 8
        for (int x : {0, 3, 28, 31})       // byte 133 = 0x81 in cell row 1
            QCOMPARE(pixel(x, 52), ink);
        for (int x : {4, 16, 27, 32})
            QCOMPARE(pixel(x, 52), paper);
        for (int y : {32, 44, 63})         // bytes 248..255: cell 15 of row 1
            for (int x : {480, 495, 511})
                QCOMPARE(pixel(x, y), ink);
        QString why;
        QVERIFY2(pictureMatches(imageData(), 0, 0, 16 * 64, &why), qPrintable(why));
        // Cell rows cut by the edges of the painted area are drawn too.
        QVERIFY2(pictureMatches(imageData(), 0, 2, 16 * 64 - 3, &why), qPrintable(why));
        QVERIFY2(pictureMatches(imageData(), 0, 333, 55, &why), qPrintable(why));
    }

    void knownPatternWithShiftFive()
    {
        openOne(uniformImage(1, markedSector()));
        showGraphicsPage();
        slider()->setValue(5);
        const QImage image = render(view()->scene(), QRectF(0, 0, 512, 16 * 64), qRgb(255, 0, 0));
        auto pixel = [&image](int x, int y) { return image.pixel(x, y); };
        for (int x = 0; x < 32; ++x) {
            QCOMPARE(pixel(x, 0), ink);    // byte 5 is now pixel row 0
            QCOMPARE(pixel(x, 3), ink);
            QCOMPARE(pixel(x, 4), paper);
            QCOMPARE(pixel(x, 20), paper);
        }
        for (int x : {0, 3, 28, 31})
            QCOMPARE(pixel(x, 32), ink);
        // Cell 15 of row 1 holds bytes 253..260: three set, then the next
        // sector's first bytes.
        for (int x : {480, 511}) {
            QCOMPARE(pixel(x, 32), ink);
            QCOMPARE(pixel(x, 43), ink);
            QCOMPARE(pixel(x, 44), paper);
            QCOMPARE(pixel(x, 63), paper);
        }
        // The last cell of the data reads three bytes of the image and then
        // the zeros appended to it.
        QCOMPARE(pixel(511, 1023 - 31 + 11), ink);
        QCOMPARE(pixel(511, 1023 - 31 + 12), paper);
        QString why;
        QVERIFY2(pictureMatches(imageData(), 5, 0, 16 * 64, &why), qPrintable(why));
    }

    void everyShiftMatchesTheData()
    {
        openOne(noisyImage(2));
        showGraphicsPage();
        const QByteArray data = imageData();
        QCOMPARE(data.size(), 32 * 256);
        QString why;
        for (int shift : {0, 1, 3, 7, 0}) {
            slider()->setValue(shift);
            QVERIFY2(pictureMatches(data, shift, 0, 32 * 64, &why), qPrintable(why));
        }
    }

    void viewShowsThePictureWhereverItIsScrolled()
    {
        openOne(noisyImage(40));
        showGraphicsPage();
        const QByteArray data = imageData();
        QString why;
        QCOMPARE(view()->verticalScrollBar()->value(), 0);
        QVERIFY2(viewMatches(data, 0, &why), qPrintable(why));
        view()->verticalScrollBar()->setValue(view()->verticalScrollBar()->maximum() / 2 + 5);
        QCoreApplication::processEvents();
        QVERIFY2(viewMatches(data, 0, &why), qPrintable(why));
        slider()->setValue(6);
        QCoreApplication::processEvents();
        QVERIFY2(viewMatches(data, 6, &why), qPrintable(why));
        view()->verticalScrollBar()->setValue(view()->verticalScrollBar()->maximum());
        QCoreApplication::processEvents();
        QVERIFY2(viewMatches(data, 6, &why), qPrintable(why));
    }

    void labelsAndTheirPositions()
    {
        // 40 tracks on one side: 640 sectors, 1,280 cell rows.
        openOne(noisyImage(40));
        showGraphicsPage();
        QString why;
        const QList<QPair<int, QString>> labels = {
            {0, QStringLiteral("0x0000")},    {1, QStringLiteral("0x0080")},
            {2, QStringLiteral("0x0100")},    {511, QStringLiteral("0xff80")},
            {512, QStringLiteral("0x10000")}, {513, QStringLiteral("0x10080")},
            {1279, QStringLiteral("0x27f80")},
        };
        for (const auto &label : labels)
            QVERIFY2(labelMatches(label.first, label.second, &why), qPrintable(why));
        QVERIFY(isBlank(QRectF(-100, 32 * 1280, 612, 64)));

        // A picture-only redraw keeps the labels of the unshifted grid.
        slider()->setValue(5);
        for (const auto &label : labels)
            QVERIFY2(labelMatches(label.first, label.second, &why), qPrintable(why));
    }

    void oneSectorGivesTwoCellRows()
    {
        openOne(uniformImage(1, markedSector()));
        keepFirstSectorOnly();
        showGraphicsPage();
        QVERIFY(picture());
        QCOMPARE(picture()->boundingRect(), QRectF(0, 0, 512, 64));
        QString why;
        QVERIFY2(labelMatches(0, QStringLiteral("0x0000"), &why), qPrintable(why));
        QVERIFY2(labelMatches(1, QStringLiteral("0x0080"), &why), qPrintable(why));
        QVERIFY(isBlank(QRectF(-100, 64, 612, 64)));
        QVERIFY2(pictureMatches(imageData().left(256), 0, 0, 64, &why), qPrintable(why));
        slider()->setValue(5);
        QCOMPARE(picture()->boundingRect(), QRectF(0, 0, 512, 64));
        QVERIFY2(pictureMatches(imageData().left(256), 5, 0, 64, &why), qPrintable(why));
    }

    void dragFromZeroToFiveDrawsOnceOnRelease()
    {
        openOne(uniformImage(1, markedSector()));
        showGraphicsPage();
        const QByteArray data = imageData();
        QGraphicsItem *before = picture();
        QString why;

        slider()->setSliderDown(true);
        for (int value = 1; value <= 5; ++value) {
            slider()->setValue(value);
            QCOMPARE(shiftLabel()->text(), QStringLiteral(" %1").arg(value));
            QCOMPARE(picture(), before);
            QVERIFY2(pictureMatches(data, 0, 0, 128, &why), qPrintable(why));
        }
        slider()->setSliderDown(false);
        QVERIFY(picture() != before);
        QCOMPARE(shiftLabel()->text(), QStringLiteral(" 5"));
        QVERIFY2(pictureMatches(data, 5, 0, 16 * 64, &why), qPrintable(why));
    }

    void mouseDragDrawsOnRelease()
    {
        openOne(uniformImage(1, markedSector()));
        showGraphicsPage();
        const QByteArray data = imageData();
        QSlider *shift = slider();
        QGraphicsItem *before = picture();
        QString why;

        // The handle sits at the left end; drag it to the right end.
        const QPoint start(4, shift->height() / 2);
        const QPoint end(shift->width() - 2, shift->height() / 2);
        QTest::mousePress(shift, Qt::LeftButton, Qt::NoModifier, start);
        QVERIFY(shift->isSliderDown());
        for (int step = 1; step <= 8; ++step) {
            const QPoint at = start + (end - start) * step / 8;
            QMouseEvent move(QEvent::MouseMove, at, shift->mapToGlobal(at), Qt::NoButton, Qt::LeftButton,
                             Qt::NoModifier);
            QCoreApplication::sendEvent(shift, &move);
        }
        QCOMPARE(shift->value(), 7);
        QCOMPARE(shiftLabel()->text(), QStringLiteral(" 7"));
        QCOMPARE(picture(), before);
        QTest::mouseRelease(shift, Qt::LeftButton, Qt::NoModifier, end);
        QVERIFY(picture() != before);
        QVERIFY2(pictureMatches(data, 7, 0, 16 * 64, &why), qPrintable(why));
    }

    void keyboardWheelAndPageStepsRedrawAtOnce()
    {
        openOne(noisyImage(1));
        showGraphicsPage();
        const QByteArray data = imageData();
        QSlider *shift = slider();
        QString why;

        QGraphicsItem *before = picture();
        QTest::keyClick(shift, Qt::Key_Right);
        QCOMPARE(shift->value(), 1);
        QVERIFY(picture() != before);
        QVERIFY2(pictureMatches(data, 1, 0, 16 * 64, &why), qPrintable(why));

        before = picture();
        QTest::keyClick(shift, Qt::Key_PageUp);
        QCOMPARE(shift->value(), 2);
        QVERIFY(picture() != before);
        QVERIFY2(pictureMatches(data, 2, 0, 16 * 64, &why), qPrintable(why));

        before = picture();
        shift->triggerAction(QAbstractSlider::SliderPageStepAdd);
        QCOMPARE(shift->value(), 3);
        QVERIFY(picture() != before);
        QVERIFY2(pictureMatches(data, 3, 0, 16 * 64, &why), qPrintable(why));

        before = picture();
        const QPointF centre(shift->width() / 2.0, shift->height() / 2.0);
        QWheelEvent wheel(centre, shift->mapToGlobal(centre.toPoint()), QPoint(), QPoint(0, 120), Qt::NoButton,
                          Qt::NoModifier, Qt::NoScrollPhase, false);
        QCoreApplication::sendEvent(shift, &wheel);
        QCOMPARE(shift->value(), 4);
        QVERIFY(picture() != before);
        QCOMPARE(shiftLabel()->text(), QStringLiteral(" 4"));
        QVERIFY2(pictureMatches(data, 4, 0, 16 * 64, &why), qPrintable(why));
    }

    void returningToTheGraphicsPageResetsShiftAndScroll()
    {
        openOne(noisyImage(40));
        showGraphicsPage();
        const QByteArray data = imageData();
        QScrollBar *scroll = view()->verticalScrollBar();
        slider()->setValue(3);
        scroll->setValue(scroll->maximum() / 3);
        QVERIFY(scroll->value() > 0);

        toolBox()->setCurrentIndex(1);
        QCoreApplication::processEvents();
        toolBox()->setCurrentIndex(2);
        QCoreApplication::processEvents();
        QCOMPARE(slider()->value(), 0);
        QCOMPARE(shiftLabel()->text(), QStringLiteral(" 0"));
        QCOMPARE(scroll->value(), 0);
        QString why;
        QVERIFY2(viewMatches(data, 0, &why), qPrintable(why));
        QVERIFY2(pictureMatches(data, 0, 0, 256, &why), qPrintable(why));
    }

    void pictureOnlyRedrawKeepsTheScrollPosition()
    {
        openOne(noisyImage(40));
        showGraphicsPage();
        const QByteArray data = imageData();
        QScrollBar *scroll = view()->verticalScrollBar();
        scroll->setValue(scroll->maximum() / 2);
        const int position = scroll->value();
        QVERIFY(position > 0);

        slider()->setValue(4);
        QCOMPARE(scroll->value(), position);
        QCoreApplication::processEvents();
        QCOMPARE(scroll->value(), position);
        QString why;
        QVERIFY2(viewMatches(data, 4, &why), qPrintable(why));
    }

    void pictureOnlyRedrawWithoutASceneDrawsEverything()
    {
        openOne(uniformImage(1, markedSector()));
        QVERIFY(!view()->scene());
        window->updateGfxView(5, true);
        QVERIFY(view()->scene());
        QVERIFY(picture());
        QString why;
        QVERIFY2(pictureMatches(imageData(), 5, 0, 16 * 64, &why), qPrintable(why));
        QVERIFY2(labelMatches(31, QStringLiteral("0x0f80"), &why), qPrintable(why));
    }

    void withoutAnImageTheViewKeepsWhatItShowed()
    {
        openOne(uniformImage(1, markedSector()));
        showGraphicsPage();
        const QByteArray data = imageData();
        QGraphicsItem *shown = picture();

        // No current row: the window's copy of the image is emptied.
        table()->setCurrentCell(-1, -1);
        QCOMPARE(table()->currentRow(), -1);
        slider()->setValue(3);
        QCOMPARE(shiftLabel()->text(), QStringLiteral(" 3"));
        QCOMPARE(picture(), shown);
        QString why;
        QVERIFY2(pictureMatches(data, 0, 0, 16 * 64, &why), qPrintable(why));
    }

    void anotherImageRestartsAtShiftZeroAndTheTop()
    {
        const QString small = writeImage(QStringLiteral("small.dsk"), uniformImage(1, markedSector()).dsk());
        const QString large = writeImage(QStringLiteral("large.dsk"), noisyImage(40).dsk());
        open({small, large});
        int smallRow = -1;
        int largeRow = -1;
        for (int row = 0; row < table()->rowCount(); ++row)
            (table()->item(row, 0)->text() == QLatin1String("small") ? smallRow : largeRow) = row;
        table()->setCurrentCell(largeRow, 0);
        showGraphicsPage();
        slider()->setValue(2);
        view()->verticalScrollBar()->setValue(view()->verticalScrollBar()->maximum());

        table()->setCurrentCell(smallRow, 0);
        QCoreApplication::processEvents();
        QCOMPARE(slider()->value(), 0);
        QCOMPARE(view()->verticalScrollBar()->value(), 0);
        QCOMPARE(picture()->boundingRect(), QRectF(0, 0, 512, 16 * 64));
        QString why;
        QVERIFY2(pictureMatches(imageData(smallRow), 0, 0, 16 * 64, &why), qPrintable(why));
        QVERIFY2(labelMatches(31, QStringLiteral("0x0f80"), &why), qPrintable(why));
        QVERIFY(isBlank(QRectF(-100, 32 * 32, 612, 64)));
    }

    // Following the other views and going to an offset.
    void showOffsetBringsItsCellRowToTheTop_data()
    {
        QTest::addColumn<int>("shift");
        QTest::addColumn<int>("offset");
        QTest::addColumn<int>("top"); // the data offset of the top cell row
        QTest::newRow("start") << 0 << 0 << 0;
        QTest::newRow("inside a cell row") << 0 << 0x1234 << 0x1200;
        QTest::newRow("a row's first byte") << 0 << 0x5000 << 0x5000;
        QTest::newRow("shifted grid") << 3 << 0x5002 << 0x4f83;
        QTest::newRow("shifted grid, row start") << 3 << 0x5003 << 0x5003;
    }

    void showOffsetBringsItsCellRowToTheTop()
    {
        QFETCH(int, shift);
        QFETCH(int, offset);
        QFETCH(int, top);
        openOne(noisyImage(40));
        showGraphicsPage();
        slider()->setValue(shift);
        gfx()->showOffset(offset);
        QCOMPARE(gfx()->offsetAtTop(), qint64(top));
        // The top row of the viewport shows that cell row's first pixel row.
        const int rowTop = (top - shift) / rowBytes * 8 * scale;
        QCOMPARE(gfx()->mapToScene(QPoint(0, 0)).y(), qreal(rowTop));
        QString why;
        QVERIFY2(viewMatches(imageData(), shift, &why), qPrintable(why));
    }

    void followsTheHexViewAndTheSectorMap_data()
    {
        QTest::addColumn<bool>("fromMap");
        QTest::addColumn<int>("place"); // a byte of the dump, a sector of the map
        QTest::addColumn<int>("top");
        QTest::newRow("a byte chosen in the dump") << false << 0x2345 << 0x2300;
        QTest::newRow("a sector chosen on the map") << true << 100 << 100 * 256;
    }

    void followsTheHexViewAndTheSectorMap()
    {
        QFETCH(bool, fromMap);
        QFETCH(int, place);
        QFETCH(int, top);
        openOne(noisyImage(40));
        if (fromMap) {
            toolBox()->setCurrentIndex(MainWindow::SectorMapPage);
            auto *map = window->findChild<SectorMapView *>(QStringLiteral("sectorMap"));
            QTest::mouseClick(map, Qt::LeftButton, Qt::NoModifier, map->cellRect(place).center());
        } else {
            toolBox()->setCurrentIndex(MainWindow::HexPage);
            QTest::mouseClick(hex()->viewport(), Qt::LeftButton, Qt::NoModifier, QPoint(1, 1));
            hex()->setCursorPosition(place);
        }
        showGraphicsPage();
        QCOMPARE(slider()->value(), 0);
        QCOMPARE(gfx()->offsetAtTop(), qint64(top));

        // Another image starts at its top.
        window->addImages({writeImage(QStringLiteral("other.dsk"), noisyImage(41).dsk())});
        QCOMPARE(view()->verticalScrollBar()->value(), 0);
    }

    void goToField_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<int>("top"); // -1: stays
        QTest::newRow("hex as the labels show it") << "0x1000" << 0x1000;
        QTest::newRow("with a dollar") << "$2a80" << 0x2a80;
        QTest::newRow("plain hex inside a row") << "1a30" << 0x1a00;
        QTest::newRow("not hex") << "zz" << -1;
        QTest::newRow("beyond the image") << "28000" << -1;
    }

    void goToField()
    {
        QFETCH(QString, typed);
        QFETCH(int, top);
        openOne(noisyImage(40));
        showGraphicsPage();
        gfx()->showOffset(0x800);
        auto *field = window->findChild<QLineEdit *>(QStringLiteral("gfxGoTo"));
        QVERIFY(field && field->isVisible());
        QTest::keyClicks(field, typed);
        QTest::keyClick(field, Qt::Key_Return);
        QCOMPARE(gfx()->offsetAtTop(), qint64(top < 0 ? 0x800 : top));
    }

    void shiftSliderExplainsItself()
    {
        openOne(uniformImage(1, markedSector()));
        QVERIFY(slider()->toolTip().contains(QStringLiteral("8-byte")));
    }
};

int main(int argc, char *argv[])
{
    QCoreApplication::setOrganizationName(QStringLiteral("kestrin"));
    QCoreApplication::setApplicationName(QStringLiteral("malvore"));
    QApplication app(argc, argv);
    TestGfxView test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_gfxview.moc"
