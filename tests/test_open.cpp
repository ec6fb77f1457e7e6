#include "imagebuilder.h"
#include "mainwindow.h"
#include "views/hexview.h"

#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QDropEvent>
#include <QFile>
#include <QMimeData>
#include <QPixmap>
#include <QProcess>
#include <QSettings>
#include <QStandardPaths>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTextEdit>
#include <QTimer>
#include <QUrl>

// The Open command: image files written to a temporary folder are opened
// through the window, and the table rows, the log and the settings are
// checked from outside.
namespace {

const int skew[16] = {0, 7, 14, 5, 12, 3, 10, 1, 8, 15, 6, 13, 4, 11, 2, 9};

const QRgb green = qRgba(0, 255, 0, 255);
const QRgb red = qRgba(255, 0, 0, 255);
const QRgb black = qRgba(0, 0, 0, 255);

// 256 bytes naming the physical sector they were stored for. Only the
// first three bytes are small, so no tagged sector looks like a catalog
// entry or matches a signature byte.
QByteArray tagged(int track, int side, int id)
{
    QByteArray bytes(256, '\0');
    for (int k = 0; k < 256; ++k)
        bytes[k] = char(0x40 + ((track * 7 + side * 13 + id * 17 + k * 3) & 0x3F));
    bytes[0] = char(track);
    bytes[1] = char(side);
    bytes[2] = char(id);
    return bytes;
}

ImageBuilder taggedImage(int tracks, int sides)
{
    ImageBuilder image(tracks, sides);
    for (int t = 0; t < tracks; ++t)
        for (int s = 0; s < sides; ++s)
            for (int id = 0; id < 16; ++id)
                image.setSector(t, s, id, tagged(t, s, id));
    return image;
}

QByteArray catalogSector()
{
    QByteArray bytes(256, char(0xE5));
    bytes.replace(0, 32, ImageBuilder::catalogEntry(0, "GAME", "", 0, 0, 8, QByteArray(1, char(4))));
    return bytes;
}

// One catalog entry where detection looks for an A.2 catalog: linear sector 64.
void makeA2(ImageBuilder &image)
{
    const int perTrack = 16 * image.sides();
    image.setSector(64 / perTrack, (64 / 16) % image.sides(), 0, catalogSector());
}

// One catalog entry in linear sector 0: an A.4 catalog.
void makeA4(ImageBuilder &image)
{
    image.setSector(0, 0, 0, catalogSector());
}

QByteArray physical(ImageBuilder &image, int track, int side, int id)
{
    const ImageBuilder::Sector *sector = image.sector(track, side, id);
    return sector ? sector->data : QByteArray(256, '\0');
}

QByteArray logical(const QByteArray &data, int k)
{
    return data.mid(k * 256, 256);
}

QTableWidget *table(MainWindow &window)
{
    return window.findChild<QTableWidget *>(QStringLiteral("dskList"));
}

QTextEdit *logView(MainWindow &window)
{
    return window.findChild<QTextEdit *>(QStringLiteral("log"));
}

HexView *hexView(MainWindow &window)
{
    return window.findChild<HexView *>(QStringLiteral("hexView"));
}

// What the hex view shows: every line with its tint.
QStringList hexContent(MainWindow &window)
{
    const HexView *view = hexView(window);
    QStringList lines;
    for (int n = 0; n < view->lineCount(); ++n)
        lines << view->lineBackground(n).name(QColor::HexArgb) + QLatin1Char(' ') + view->lineText(n);
    return lines;
}

QByteArray mapData(MainWindow &window, int row)
{
    return table(window)->item(row, 3)->data(MainWindow::SectorDataRole).toByteArray();
}

QByteArray mapStatus(MainWindow &window, int row)
{
    return table(window)->item(row, 3)->data(MainWindow::SectorMapRole).toByteArray();
}

QImage mapPicture(MainWindow &window, int row)
{
    const QVariant decoration = table(window)->item(row, 3)->data(Qt::DecorationRole);
    QImage picture = decoration.value<QPixmap>().toImage();
    if (picture.isNull())
        picture = decoration.value<QImage>();
    return picture.convertToFormat(QImage::Format_ARGB32);
}

QString cellText(MainWindow &window, int row, int column)
{
    const QTableWidgetItem *item = table(window)->item(row, column);
    return item ? item->text() : QStringLiteral("<none>");
}

// Everything a row shows or carries, for comparing two tables.
QStringList rowSummary(MainWindow &window, int row)
{
    QStringList cells;
    for (int column = 0; column < 6; ++column)
        cells.append(cellText(window, row, column));
    cells.append(QString::number(qHash(mapData(window, row))));
    cells.append(QString::number(qHash(mapStatus(window, row))));
    return cells;
}

QString pixelText(QRgb pixel)
{
    return QStringLiteral("#%1").arg(pixel, 8, 16, QLatin1Char('0'));
}

class ImageFolder
{
public:
    QString write(const QString &name, const QByteArray &bytes)
    {
        const QString path = dir.filePath(name);
        QFile file(path);
        if (file.open(QIODevice::WriteOnly))
            file.write(bytes);
        return path;
    }
    QString path() const { return dir.path(); }

private:
    QTemporaryDir dir;
};

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

class TestOpen : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QSettings().clear();
    }

    void a2SingleSidedLogicalOrder()
    {
        ImageFolder folder;
        ImageBuilder image = taggedImage(40, 1);
        makeA2(image);
        MainWindow window;
        window.openImages({folder.write("system.dsk", image.dsk())});

        QCOMPARE(table(window)->rowCount(), 1);
        QCOMPARE(cellText(window, 0, 5), QStringLiteral("A.2"));
        const QByteArray data = mapData(window, 0);
        QCOMPARE(data.size(), 640 * 256);
        QCOMPARE(mapStatus(window, 0), QByteArray(640, char(1)));
        // Tracks 0..3 in plain order, the rest through the skew table.
        QCOMPARE(logical(data, 1), tagged(0, 0, 1));
        QCOMPARE(logical(data, 63), tagged(3, 0, 15));
        QCOMPARE(logical(data, 64), catalogSector());
        QCOMPARE(logical(data, 65), tagged(4, 0, 7));
        QCOMPARE(logical(data, 66), tagged(4, 0, 14));
        QCOMPARE(logical(data, 5 * 16 + 15), tagged(5, 0, 9));
        for (int k = 0; k < 640; ++k) {
            const int t = k / 16;
            const int i = k % 16;
            const int id = k < 64 ? i : skew[i];
            QCOMPARE(logical(data, k), physical(image, t, 0, id));
        }
    }

    void a4EveryTrackSkewed()
    {
        ImageFolder folder;
        ImageBuilder image = taggedImage(40, 1);
        makeA4(image);
        MainWindow window;
        window.openImages({folder.write("fourth.dsk", image.dsk())});

        QCOMPARE(cellText(window, 0, 5), QStringLiteral("A.4"));
        const QByteArray data = mapData(window, 0);
        QCOMPARE(data.size(), 640 * 256);
        QCOMPARE(logical(data, 0), catalogSector());
        QCOMPARE(logical(data, 1), tagged(0, 0, 7));
        QCOMPARE(logical(data, 3 * 16 + 2), tagged(3, 0, 14));
        for (int k = 0; k < 640; ++k)
            QCOMPARE(logical(data, k), physical(image, k / 16, 0, skew[k % 16]));
    }

    void unknownFormatGetsARowAndSkew()
    {
        ImageFolder folder;
        ImageBuilder image = taggedImage(40, 1);
        MainWindow window;
        window.openImages({folder.write("blank.dsk", image.dsk())});
        QCOMPARE(table(window)->rowCount(), 1);
        QCOMPARE(cellText(window, 0, 5), QStringLiteral("unknown"));
        QCOMPARE(logical(mapData(window, 0), 1), tagged(0, 0, 7));
    }

    void eightyTracksDoubleSidedA2()
    {
        ImageFolder folder;
        ImageBuilder image = taggedImage(80, 2);
        makeA2(image);
        image.removeSector(60, 1, 5);  // logical position 3 of side 1
        image.removeSector(10, 0, 0);  // logical position 0 of side 0
        MainWindow window;
        window.openImages({folder.write("large.dsk", image.dsk())});

        QCOMPARE(cellText(window, 0, 1), QStringLiteral("80"));
        QCOMPARE(cellText(window, 0, 2), QStringLiteral("2"));
        QCOMPARE(cellText(window, 0, 4), QStringLiteral("2"));
        QCOMPARE(cellText(window, 0, 5), QStringLiteral("A.2"));
        const QByteArray data = mapData(window, 0);
        QCOMPARE(data.size(), 2560 * 256);
        // Tracks 0 and 1, both sides, in plain order; side 0 before side 1.
        QCOMPARE(logical(data, 16 + 1), tagged(0, 1, 1));
        QCOMPARE(logical(data, 63), tagged(1, 1, 15));
        QCOMPARE(logical(data, 64 + 1), tagged(2, 0, 7));
        for (int k = 0; k < 2560; ++k) {
            const int t = k / 32;
            const int s = (k / 16) % 2;
            const int i = k % 16;
            const int id = k < 64 ? i : skew[i];
            QCOMPARE(logical(data, k), physical(image, t, s, id));
        }
        const QByteArray status = mapStatus(window, 0);
        QCOMPARE(status.size(), 2560);
        QCOMPARE(status.count(char(0)), 2);
        QCOMPARE(int(status.at(60 * 32 + 16 + 3)), 0);
        QCOMPARE(int(status.at(10 * 32 + 0)), 0);
        QCOMPARE(logical(data, 60 * 32 + 16 + 3), QByteArray(256, '\0'));

        // One pixel per track and sector, side 1 in rows 18..33.
        const QImage picture = mapPicture(window, 0);
        QCOMPARE(picture.size(), QSize(86, 36));
        QCOMPARE(pixelText(picture.pixel(60, 21)), pixelText(red));
        QCOMPARE(pixelText(picture.pixel(10, 2)), pixelText(red));
        QCOMPARE(pixelText(picture.pixel(60, 20)), pixelText(green));
        QCOMPARE(pixelText(picture.pixel(61, 21)), pixelText(green));
        QCOMPARE(pixelText(picture.pixel(59, 21)), pixelText(green));
        QCOMPARE(pixelText(picture.pixel(10, 3)), pixelText(green));
        QCOMPARE(pixelText(picture.pixel(79, 33)), pixelText(green));
        QCOMPARE(qAlpha(picture.pixel(80, 33)), 0);
        QCOMPARE(pixelText(picture.pixel(84, 20)), pixelText(black));
        QCOMPARE(qAlpha(picture.pixel(82, 20)), 0);
    }

    void fiftyTracksA2HasPlainSystemArea()
    {
        ImageFolder folder;
        ImageBuilder image = taggedImage(50, 2);
        makeA2(image);
        MainWindow window;
        window.openImages({folder.write("fifty.dsk", image.dsk())});
        QCOMPARE(cellText(window, 0, 5), QStringLiteral("A.2"));
        const QByteArray data = mapData(window, 0);
        QCOMPARE(data.size(), 1600 * 256);
        QCOMPARE(logical(data, 16 + 7), tagged(0, 1, 7));
        QCOMPARE(logical(data, 48 + 9), tagged(1, 1, 9));
        QCOMPARE(logical(data, 64 + 1), tagged(2, 0, 7));
        // Green area one pixel per track.
        const QImage picture = mapPicture(window, 0);
        QCOMPARE(pixelText(picture.pixel(49, 10)), pixelText(green));
        QCOMPARE(qAlpha(picture.pixel(50, 10)), 0);
    }

    void sixCellsAndPictureOfASingleSidedImage()
    {
        ImageFolder folder;
        ImageBuilder image = taggedImage(40, 1);
        makeA2(image);
        image.removeSector(5, 0, 7); // skewed track: logical position 1
        MainWindow window;
        window.openImages({folder.write("cells.v2.dsk", image.dsk())});

        QTableWidget *list = table(window);
        QCOMPARE(list->columnCount(), 6);
        QCOMPARE(list->rowCount(), 1);
        QCOMPARE(list->item(0, 0)->text(), QStringLiteral("cells.v2"));
        QCOMPARE(list->item(0, 1)->data(Qt::DisplayRole).userType(), int(QMetaType::Int));
        QCOMPARE(list->item(0, 1)->data(Qt::DisplayRole).toInt(), 40);
        QCOMPARE(list->item(0, 2)->data(Qt::DisplayRole).toInt(), 1);
        QCOMPARE(list->item(0, 3)->text(), QString());
        QCOMPARE(list->item(0, 4)->data(Qt::DisplayRole).userType(), int(QMetaType::Int));
        QCOMPARE(list->item(0, 4)->data(Qt::DisplayRole).toInt(), 1);
        QCOMPARE(list->item(0, 5)->text(), QStringLiteral("A.2"));
        QCOMPARE(int(MainWindow::SectorDataRole), 256);
        QCOMPARE(int(MainWindow::SectorMapRole), 257);

        const QByteArray status = mapStatus(window, 0);
        QCOMPARE(status.size(), 640);
        QCOMPARE(status.count(char(0)), 1);
        QCOMPARE(int(status.at(5 * 16 + 1)), 0);
        QCOMPARE(logical(mapData(window, 0), 5 * 16 + 1), QByteArray(256, '\0'));

        const QImage picture = mapPicture(window, 0);
        QCOMPARE(picture.size(), QSize(86, 36));
        // The red mark: columns 10..11, rows 4..5.
        for (int x = 10; x <= 11; ++x)
            for (int y = 4; y <= 5; ++y)
                QCOMPARE(pixelText(picture.pixel(x, y)), pixelText(red));
        for (const QPoint &p : {QPoint(9, 4), QPoint(12, 4), QPoint(10, 3), QPoint(11, 6)})
            QCOMPARE(pixelText(picture.pixel(p)), pixelText(green));
        QCOMPARE(picture.copy(0, 0, 86, 36).allGray(), false);
        int redPixels = 0;
        for (int y = 0; y < 36; ++y)
            for (int x = 0; x < 86; ++x)
                redPixels += picture.pixel(x, y) == red;
        QCOMPARE(redPixels, 4);
        // Green area 80 pixels wide over rows 2..33.
        QCOMPARE(pixelText(picture.pixel(0, 2)), pixelText(green));
        QCOMPARE(pixelText(picture.pixel(79, 2)), pixelText(green));
        QCOMPARE(pixelText(picture.pixel(79, 33)), pixelText(green));
        QCOMPARE(pixelText(picture.pixel(0, 33)), pixelText(green));
        // The black frame from (0, 2) to (84, 32), seen right of the green.
        QCOMPARE(pixelText(picture.pixel(80, 2)), pixelText(black));
        QCOMPARE(pixelText(picture.pixel(84, 2)), pixelText(black));
        QCOMPARE(pixelText(picture.pixel(84, 17)), pixelText(black));
        QCOMPARE(pixelText(picture.pixel(84, 32)), pixelText(black));
        QCOMPARE(pixelText(picture.pixel(82, 32)), pixelText(black));
        // Transparent elsewhere.
        for (const QPoint &p : {QPoint(82, 10), QPoint(85, 10), QPoint(82, 33), QPoint(40, 0),
                                QPoint(40, 1), QPoint(40, 34), QPoint(40, 35), QPoint(84, 33)})
            QCOMPARE(qAlpha(picture.pixel(p)), 0);
    }

    void fortyTracksDoubleSidedWalksSideZero()
    {
        ImageFolder folder;
        ImageBuilder image = taggedImage(40, 2);
        makeA2(image); // linear 64: track 2 side 0
        image.removeSector(9, 1, 3);
        image.removeSector(20, 0, 14); // logical position 2
        MainWindow window;
        window.openImages({folder.write("twosides.dsk", image.dsk())});

        QCOMPARE(cellText(window, 0, 2), QStringLiteral("2"));
        QCOMPARE(cellText(window, 0, 4), QStringLiteral("2"));
        const QByteArray data = mapData(window, 0);
        QCOMPARE(data.size(), 640 * 256);
        for (int k = 0; k < 640; ++k) {
            const int t = k / 16;
            const int i = k % 16;
            QCOMPARE(logical(data, k), physical(image, t, 0, k < 64 ? i : skew[i]));
        }
        QCOMPARE(mapStatus(window, 0).count(char(0)), 1);
        const QImage picture = mapPicture(window, 0);
        QCOMPARE(pixelText(picture.pixel(40, 6)), pixelText(red));
        QCOMPARE(pixelText(picture.pixel(18, 8)), pixelText(green));
    }

    void threeFilesWithCpmInTheMiddle()
    {
        ImageFolder folder;
        ImageBuilder first = taggedImage(40, 1);
        makeA2(first);
        ImageBuilder cpm(40, 1);
        QByteArray b17(256, char(0xE5));
        b17[0] = 0x20;
        QByteArray b19(256, char(0xE5));
        b19[0] = 0x32;
        cpm.setSector(1, 0, 1, b17);
        cpm.setSector(1, 0, 3, b19);
        ImageBuilder third = taggedImage(42, 1);
        makeA4(third);
        third.removeSector(41, 0, 2);
        MainWindow window;
        window.openImages({folder.write("first.dsk", first.dsk()), folder.write("cpm.dsk", cpm.dsk()),
                           folder.write("third.dsk", third.dsk())});

        QCOMPARE(table(window)->rowCount(), 2);
        QCOMPARE(rowSummary(window, 0).mid(0, 6),
                 QStringList({"first", "40", "1", "", "0", "A.2"}));
        QCOMPARE(rowSummary(window, 1).mid(0, 6),
                 QStringList({"third", "42", "1", "", "1", "A.4"}));
        QCOMPARE(mapData(window, 0).size(), 640 * 256);
        QCOMPARE(mapData(window, 1).size(), 672 * 256);
        QCOMPARE(logical(mapData(window, 1), 1), tagged(0, 0, 7));

        const QString log = logView(window)->toPlainText();
        const int cpmOpened = log.indexOf("Opening file \"cpm\"");
        const int cpmImported = log.indexOf("sectors (imported)  : 640", cpmOpened);
        const int refusal = log.indexOf("CPM disks are not supported");
        const int thirdOpened = log.indexOf("Opening file \"third\"");
        QVERIFY(log.indexOf("Opening file \"first\"") >= 0);
        QVERIFY(cpmOpened > log.indexOf("Opening file \"first\""));
        QVERIFY(cpmImported > cpmOpened);
        QVERIFY(refusal > cpmImported);
        QVERIFY(thirdOpened > refusal);
        QCOMPARE(log.count("CPM disks are not supported"), 1);
        // Open clears the log: the title line is gone.
        QVERIFY(!log.contains("ver."));
    }

    void firstFileUnreadable()
    {
        ImageFolder folder;
        ImageBuilder second = taggedImage(40, 1);
        makeA2(second);
        ImageBuilder third = taggedImage(40, 1);
        makeA4(third);
        MainWindow window;
        window.openImages({folder.write("junk.dsk", QByteArray(5000, 'j')),
                           folder.write("second.dsk", second.dsk()),
                           folder.write("third.dsk", third.dsk())});

        QTableWidget *list = table(window);
        QCOMPARE(list->rowCount(), 2);
        QCOMPARE(cellText(window, 0, 0), QStringLiteral("second"));
        QCOMPARE(cellText(window, 1, 0), QStringLiteral("third"));
        QCOMPARE(list->currentRow(), 0);
        QVERIFY(list->selectionModel()->isRowSelected(0, QModelIndex()));
        QVERIFY(!list->selectionModel()->isRowSelected(1, QModelIndex()));
        const QString log = logView(window)->toPlainText();
        QVERIFY(log.indexOf("Unknown file format.") > log.indexOf("Opening file \"junk\""));
        QVERIFY(log.indexOf("Unknown file format.") < log.indexOf("Opening file \"second\""));
        // The selected row is shown in the hex view.
        QVERIFY(!hexView(window)->toPlainText().isEmpty());
    }

    void nothingAcceptedEmptiesEverything()
    {
        ImageFolder folder;
        ImageBuilder image = taggedImage(40, 1);
        makeA2(image);
        MainWindow window;
        window.openImages({folder.write("good.dsk", image.dsk())});
        QCOMPARE(table(window)->rowCount(), 1);
        QVERIFY(!hexView(window)->toPlainText().isEmpty());

        window.openImages({folder.write("bad.dsk", QByteArray("nothing"))});
        QCOMPARE(table(window)->rowCount(), 0);
        QVERIFY(hexView(window)->toPlainText().isEmpty());
        const QString log = logView(window)->toPlainText();
        QVERIFY(log.contains("Opening file \"bad\""));
        QVERIFY(log.contains("Unknown file format."));
        QVERIFY(!log.contains("Opening file \"good\""));
    }

    void lastDirIsStoredAtOnce()
    {
        ImageFolder folder;
        QDir(folder.path()).mkpath("deeper");
        MainWindow window;
        // Stored even when no file loads, and taken from the first file.
        window.openImages({folder.path() + "/deeper/missing.dsk", folder.write("other.dsk", "x")});
        const QString expected = QFileInfo(folder.path() + "/deeper").absoluteFilePath();
        QCOMPARE(QSettings().value("malvore/lastDir").toString(), expected);
        QCOMPARE(QSettings("kestrin", "malvore").value("malvore/lastDir").toString(), expected);
    }

    void sortedTableKeepsCellsTogether()
    {
        ImageFolder folder;
        struct Expected
        {
            QString name;
            int tracks;
            int bad;
        };
        const QList<Expected> images = {{"zero", 40, 0}, {"three", 41, 3}, {"one", 42, 1}};
        QStringList paths;
        for (const Expected &e : images) {
            ImageBuilder image = taggedImage(e.tracks, 1);
            makeA2(image);
            for (int b = 0; b < e.bad; ++b)
                image.removeSector(20 + b, 0, 4);
            paths.append(folder.write(e.name + ".dsk", image.dsk()));
        }
        MainWindow window;
        QTableWidget *list = table(window);
        list->setSortingEnabled(true);
        list->sortByColumn(4, Qt::DescendingOrder);
        window.openImages(paths);

        QCOMPARE(list->rowCount(), 3);
        for (int row = 0; row < 3; ++row) {
            const QString name = cellText(window, row, 0);
            const auto match = std::find_if(images.begin(), images.end(),
                                            [&](const Expected &e) { return e.name == name; });
            QVERIFY2(match != images.end(), qPrintable(name));
            QCOMPARE(cellText(window, row, 1), QString::number(match->tracks));
            QCOMPARE(cellText(window, row, 2), QStringLiteral("1"));
            QCOMPARE(cellText(window, row, 4), QString::number(match->bad));
            QCOMPARE(cellText(window, row, 5), QStringLiteral("A.2"));
            QCOMPARE(mapData(window, row).size(), match->tracks * 16 * 256);
            QCOMPARE(mapStatus(window, row).count(char(0)), match->bad);
        }
        // The user's sorting is still in force.
        QVERIFY(list->isSortingEnabled());
        QCOMPARE(cellText(window, 0, 0), QStringLiteral("three"));
        QCOMPARE(cellText(window, 1, 0), QStringLiteral("one"));
        QCOMPARE(cellText(window, 2, 0), QStringLiteral("zero"));
        QCOMPARE(list->currentRow(), 0);
    }

    // A drop adds to the list, as Add images does; the rows already listed
    // stay, and the log goes on.
    void dropAddsToTheList()
    {
        ImageFolder folder;
        ImageBuilder first = taggedImage(40, 1);
        makeA2(first);
        ImageBuilder second = taggedImage(40, 1);
        makeA4(second);
        second.removeSector(7, 0, 7);
        const QStringList paths = {folder.write("dropped1.dsk", first.dsk()),
                                   folder.write("junk.dsk", "junk"),
                                   folder.write("dropped2.dsk", second.dsk())};

        MainWindow opened;
        opened.openImages(paths);

        ImageFolder elsewhere;
        ImageBuilder previous = taggedImage(40, 1);
        MainWindow dropped;
        dropped.openImages({elsewhere.write("previous.dsk", previous.dsk())});
        const QStringList previousRow = rowSummary(dropped, 0);
        const QString previousLog = logView(dropped)->toPlainText();
        QCOMPARE(QSettings().value("malvore/lastDir").toString(), QFileInfo(elsewhere.path()).absoluteFilePath());

        QMimeData mime;
        QList<QUrl> urls;
        for (const QString &path : paths)
            urls.append(QUrl::fromLocalFile(path));
        mime.setUrls(urls);
        QDragEnterEvent enter(QPoint(20, 20), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(&dropped, &enter);
        QVERIFY(enter.isAccepted());
        QDropEvent drop(QPointF(20, 20), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(&dropped, &drop);

        QTableWidget *list = table(dropped);
        list->sortItems(0, Qt::AscendingOrder);
        QCOMPARE(list->rowCount(), 3);
        opened.findChild<QTableWidget *>("dskList")->sortItems(0, Qt::AscendingOrder);
        QCOMPARE(rowSummary(dropped, 0), rowSummary(opened, 0));
        QCOMPARE(rowSummary(dropped, 1), rowSummary(opened, 1));
        QCOMPARE(rowSummary(dropped, 2), previousRow);
        QCOMPARE(logView(dropped)->toPlainText(), previousLog + "\n" + logView(opened)->toPlainText());
        QCOMPARE(QSettings().value("malvore/lastDir").toString(), QFileInfo(folder.path()).absoluteFilePath());
    }

    void dropWithoutFilesChangesNothing()
    {
        ImageFolder folder;
        ImageBuilder image = taggedImage(40, 1);
        MainWindow window;
        window.openImages({folder.write("kept.dsk", image.dsk())});
        const QString log = logView(window)->toPlainText();

        QMimeData mime;
        mime.setUrls({QUrl(QStringLiteral("https://example.invalid/remote.dsk"))});
        QDropEvent drop(QPointF(20, 20), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(&window, &drop);
        QCOMPARE(table(window)->rowCount(), 1);
        QCOMPARE(cellText(window, 0, 0), QStringLiteral("kept"));
        QCOMPARE(logView(window)->toPlainText(), log);
    }

    void cancelledDialogLeavesEverything()
    {
        ImageFolder folder;
        ImageBuilder image = taggedImage(40, 1);
        makeA2(image);
        image.removeSector(6, 0, 3);
        MainWindow window;
        window.openImages({folder.write("before.dsk", image.dsk())});
        const QStringList row = rowSummary(window, 0);
        const QString log = logView(window)->toHtml();
        const QStringList hex = hexContent(window);
        const QFont hexFont = hexView(window)->font();
        QVERIFY(!hexView(window)->toPlainText().isEmpty());
        const QString lastDir = QSettings().value("malvore/lastDir").toString();

        // Reject the file dialog as soon as it is shown.
        bool rejected = false;
        QString caption;
        QTimer poll;
        poll.setInterval(20);
        connect(&poll, &QTimer::timeout, [&] {
            auto *dialog = qobject_cast<QDialog *>(QApplication::activeModalWidget());
            if (!dialog)
                return;
            caption = dialog->windowTitle();
            rejected = true;
            dialog->reject();
        });
        poll.start();
        QAction *open = window.findChild<QAction *>(QStringLiteral("action_Open"));
        QVERIFY(open);
        open->trigger();
        poll.stop();

        QVERIFY(rejected);
        QCOMPARE(caption, QStringLiteral("Open DSK files"));
        QCOMPARE(table(window)->rowCount(), 1);
        QCOMPARE(rowSummary(window, 0), row);
        QCOMPARE(logView(window)->toHtml(), log);
        QCOMPARE(hexContent(window), hex);
        QCOMPARE(hexView(window)->font(), hexFont);
        QCOMPARE(QSettings().value("malvore/lastDir").toString(), lastDir);
    }

    void samplesOpenAsDescribed()
    {
        const QString samples = QStringLiteral(MALVORE_SOURCE_DIR "/samples/");
        struct Sample
        {
            QString name;
            QString tos; // empty: refused
            int tracks;
            int sides;
            int bad;
        };
        const QList<Sample> expected = {
            {"tos-a2-basic", "A.2", 40, 1, 0},
            {"damaged", "A.2", 40, 1, 4},
            {"tos-a2-80ds", "A.2", 80, 2, 0},
            {"tos-a4", "A.4", 40, 1, 0},
            {"cpm", QString(), 40, 1, 0},
        };
        QStringList paths;
        for (const Sample &s : expected) {
            QVERIFY2(QFile::exists(samples + s.name + ".dsk"), qPrintable(s.name));
            paths.append(samples + s.name + ".dsk");
        }
        MainWindow window;
        window.openImages(paths);
        QCOMPARE(table(window)->rowCount(), 4);
        int row = 0;
        for (const Sample &s : expected) {
            if (s.tos.isEmpty())
                continue;
            QCOMPARE(rowSummary(window, row).mid(0, 6),
                     QStringList({s.name, QString::number(s.tracks), QString::number(s.sides), "",
                                  QString::number(s.bad), s.tos}));
            ++row;
        }
        const QString log = logView(window)->toPlainText();
        QVERIFY(log.indexOf("CPM disks are not supported") > log.indexOf("Opening file \"cpm\""));
    }

    void samplesRescueAsDescribed()
    {
        const QString samples = QStringLiteral(MALVORE_SOURCE_DIR "/samples/");
        QTemporaryDir output;
        MainWindow window;
        window.setOutputRoot(output.path());
        window.openImages({samples + "tos-a2-basic.dsk", samples + "damaged.dsk", samples + "tos-a2-80ds.dsk",
                           samples + "tos-a4.dsk"});
        QCOMPARE(table(window)->rowCount(), 4);
        for (int row = 0; row < 4; ++row)
            window.convertImage(row);

        const QMap<QString, QStringList> files = {
            {"tos-a2-basic", {"HELLO.bas", "HELLO.bas.inf", "SCREEN.cod", "SCREEN.cod.inf", "SQUARES.num",
                              "SQUARES.num.inf", "README.dat", "tos-a2-basic.tap"}},
            {"damaged", {"SURVIVOR.bas", "SURVIVOR.bas.inf", "HOLES.cod", "HOLES.cod.inf", "damaged.tap",
                         "sector_0060.cod", "sector_0060.cod.inf", "sector_0060.cod.tap",
                         "sector_0068.dat", "sector_0068.dat.tap"}},
            {"tos-a2-80ds", {"MENU.bas", "MENU.bas.inf", "GAME.cod", "GAME.cod.inf", "NAMES.chr",
                             "NAMES.chr.inf", "tos-a2-80ds.tap"}},
            {"tos-a4", {"LOADER.bas", "LOADER.bas.inf", "01_TABLES.cod", "01_TABLES.cod.inf", "tos-a4.tap"}},
        };
        for (auto it = files.begin(); it != files.end(); ++it) {
            QDir folder(output.filePath(it.key()));
            QStringList found = folder.entryList(QDir::Files, QDir::Name);
            QStringList wanted = it.value();
            wanted.sort();
            QCOMPARE(found, wanted);
        }
        const QString log = logView(window)->toPlainText();
        QVERIFY(log.contains("file HOLES has 2 bad sector(s)  1 possible false-positive(s) sector(s)"));
        QVERIFY(log.contains("Found 1 lost block(s)"));
    }

    void makeSamplesIsDeterministic()
    {
        const QString python = QStandardPaths::findExecutable(QStringLiteral("python3"));
        if (python.isEmpty())
            QSKIP("python3 is not installed");
        QTemporaryDir output;
        QProcess tool;
        tool.start(python, {QStringLiteral(MALVORE_SOURCE_DIR "/tools/make-samples"), output.path()});
        QVERIFY(tool.waitForFinished(60000));
        QCOMPARE(tool.exitCode(), 0);
        const QString samples = QStringLiteral(MALVORE_SOURCE_DIR "/samples/");
        const QStringList made = QDir(output.path()).entryList({"*.dsk"}, QDir::Files, QDir::Name);
        QCOMPARE(made, QDir(samples).entryList({"*.dsk"}, QDir::Files, QDir::Name));
        QCOMPARE(made.size(), 5);
        for (const QString &name : made)
            QVERIFY2(readFile(output.filePath(name)) == readFile(samples + name), qPrintable(name));
        const QStringList reads = QDir(output.filePath("reads")).entryList({"*.dsk"}, QDir::Files, QDir::Name);
        QCOMPARE(reads, QDir(samples + "reads").entryList({"*.dsk"}, QDir::Files, QDir::Name));
        QCOMPARE(reads.size(), 3);
        for (const QString &name : reads)
            QVERIFY2(readFile(output.filePath("reads/" + name)) == readFile(samples + "reads/" + name), qPrintable(name));
    }
};

int main(int argc, char *argv[])
{
    QCoreApplication::setOrganizationName(QStringLiteral("kestrin"));
    QCoreApplication::setApplicationName(QStringLiteral("malvore"));
    // Settings go to the test location, never to a user's own.
    QStandardPaths::setTestModeEnabled(true);
    QApplication app(argc, argv);
    TestOpen test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_open.moc"
