#include "damageddisk.h"
#include "mainwindow.h"
#include "rescuetestutil.h"
#include "views/hexview.h"
#include "views/palette.h"
#include "views/sectormapview.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QHelpEvent>
#include <QLineEdit>
#include <QScrollBar>
#include <QSet>
#include <QSettings>
#include <QSignalSpy>
#include <QSlider>
#include <QToolButton>
#include <QScrollArea>
#include <QStatusBar>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextEdit>
#include <QToolBox>
#include <QToolTip>

using namespace rescuetest;

namespace {

// A 40-track A.2 disk: the catalog in sectors 64..79, GAME in block 4
// (sectors 80..83), sector 81 missing.
QByteArray gameDisk()
{
    const QByteArray file = ImageBuilder::withHeader5(3, 600, 32768, pattern(600, 7));
    ImageBuilder disk(40, 1);
    disk.setLogicalBytes(64 * 256 + 32, extentEntry(0, "GAME", "", 0, file.size(), "\x04"), true);
    disk.setLogicalBytes(80 * 256, file, true);
    disk.removeLogicalSector(81, true);
    return disk.dsk();
}

// A disk of no known layout with sectors 5, 20 and 33 missing.
QByteArray holedDisk()
{
    ImageBuilder disk(40, 1);
    for (int logical : {5, 20, 33})
        disk.removeLogicalSector(logical, false);
    return disk.dsk();
}

// Three good, suspect and missing sectors side by side, for the view alone.
ImageRow threeStates()
{
    ImageRow row;
    row.name = "states";
    row.tracks = 3;
    row.sides = 1;
    row.sectors = SectorTable(48);
    for (int i = 0; i < 48; ++i)
        row.sectors.setRead(i, SectorState::Good, 1, 1);
    row.sectors.setRead(16, SectorState::Suspect, 1, 1);
    row.sectors.setRead(32, SectorState::Missing, 0, 0);
    return row;
}

// Pixels of the missing sectors' red in box, and the box they fill.
int redPixels(const QImage &image, const QRect &box, QRect *extent)
{
    int count = 0;
    *extent = QRect();
    const QRgb red = sectorLook(SectorState::Missing).colour.rgb();
    for (int y = box.top(); y <= box.bottom(); ++y)
        for (int x = box.left(); x <= box.right(); ++x)
            if (image.valid(x, y) && image.pixel(x, y) == red) {
                ++count;
                *extent |= QRect(x, y, 1, 1);
            }
    return count;
}

// Where the map's scrolled cells show, in the map's coordinates.
QRect gridArea(const SectorMapView *map)
{
    const QWidget *viewport = map->grid()->viewport();
    return QRect(viewport->mapTo(map, QPoint(0, 0)), viewport->size());
}

QSet<QRgb> coloursIn(const QImage &image, const QRect &box)
{
    QSet<QRgb> colours;
    for (int y = box.top(); y <= box.bottom(); ++y)
        for (int x = box.left(); x <= box.right(); ++x)
            colours.insert(image.pixel(x, y));
    return colours;
}

} // namespace

// The sector map page and the hex view's Go to, next and previous.
class TestSectorMap : public QObject
{
    Q_OBJECT

    QTemporaryDir files;

    QString image(const QString &name, const QByteArray &bytes)
    {
        const QString path = files.filePath(name);
        return writeTestFile(path, bytes) ? path : QString();
    }

    struct Shown
    {
        MainWindow window;
        QToolBox *toolBox = nullptr;
        HexView *hex = nullptr;
        SectorMapView *map = nullptr;

        explicit Shown(const QString &path)
        {
            window.resize(1000, 700);
            window.show();
            QApplication::setActiveWindow(&window);
            toolBox = window.findChild<QToolBox *>("toolBox");
            hex = window.findChild<HexView *>("hexView");
            map = window.findChild<SectorMapView *>("sectorMap");
            window.openImages({path});
        }
        QString status() const { return window.statusBar()->currentMessage(); }
    };

private slots:
    void sectorPlaces_data()
    {
        QTest::addColumn<int>("logical");
        QTest::addColumn<int>("tracks");
        QTest::addColumn<int>("sides");
        QTest::addColumn<DiskFormat>("format");
        QTest::addColumn<QList<int>>("place"); // track, side, position, sector id

        QTest::newRow("A.2 system area in plain order") << 17 << 40 << 1 << DiskFormat::TosA2 << QList<int>{1, 0, 1, 1};
        QTest::newRow("A.2 catalog skewed") << 70 << 40 << 1 << DiskFormat::TosA2 << QList<int>{4, 0, 6, 10};
        QTest::newRow("A.4 skewed from the start") << 17 << 40 << 1 << DiskFormat::TosA4 << QList<int>{1, 0, 1, 7};
        QTest::newRow("two sides: side 1 of track 0") << 16 << 80 << 2 << DiskFormat::TosA4 << QList<int>{0, 1, 0, 0};
        QTest::newRow("two sides: track 1") << 35 << 80 << 2 << DiskFormat::Unknown << QList<int>{1, 0, 3, 5};
        QTest::newRow("A.2 two sides, sector 63 plain") << 63 << 80 << 2 << DiskFormat::TosA2 << QList<int>{1, 1, 15, 15};
        QTest::newRow("below 50 tracks one side walked") << 16 << 40 << 2 << DiskFormat::TosA4 << QList<int>{1, 0, 0, 0};
    }

    void sectorPlaces()
    {
        QFETCH(int, logical);
        QFETCH(int, tracks);
        QFETCH(int, sides);
        QFETCH(DiskFormat, format);
        QFETCH(QList<int>, place);
        const SectorPlace got = sectorPlace(logical, tracks, sides, format);
        QCOMPARE((QList<int>{got.track, got.side, got.position, got.sectorId}), place);
    }

    void toolTips_data()
    {
        QTest::addColumn<int>("logical");
        QTest::addColumn<QString>("tip");
        QTest::newRow("system area") << 17 << "Track 1, side 0, sector id 1\nLogical sector 17, offset 01100\n"
                                              "State: good\nIn no file";
        QTest::newRow("catalog") << 70 << "Track 4, side 0, sector id 10\nLogical sector 70, offset 04600\n"
                                          "State: good\nFile: catalog";
        QTest::newRow("file") << 80 << "Track 5, side 0, sector id 0\nLogical sector 80, offset 05000\n"
                                       "State: good\nFile: GAME";
        QTest::newRow("missing sector of the file") << 81 << "Track 5, side 0, sector id 7\n"
                                                             "Logical sector 81, offset 05100\n"
                                                             "State: missing\nFile: GAME";
    }

    void toolTips()
    {
        QFETCH(int, logical);
        QFETCH(QString, tip);
        Shown w(image("game.dsk", gameDisk()));
        w.toolBox->setCurrentIndex(MainWindow::SectorMapPage);
        QCoreApplication::processEvents(); // the page's layout
        QCOMPARE(w.map->sectorCount(), 640);
        QCOMPARE(w.map->sectorToolTip(logical), tip);

        // The tooltip over the cell says the same, as plain text.
        const QPoint at = w.map->cellRect(logical).center();
        QCOMPARE(w.map->sectorAt(at), logical);
        QHelpEvent help(QEvent::ToolTip, at, w.map->mapToGlobal(at));
        QApplication::sendEvent(w.map, &help);
        QTRY_VERIFY(QToolTip::isVisible());
        QCOMPARE(QToolTip::text(), Qt::convertFromPlainText(tip));
        QToolTip::hideText();
    }

    void namesFromTheDiskStayText()
    {
        ImageRow row = threeStates();
        QStringList owners;
        for (int i = 0; i < 48; ++i)
            owners << QString();
        owners[3] = "<b>X</b>\x1b";
        SectorMapView view;
        view.setImage(row, owners);
        QVERIFY(view.sectorToolTip(3).endsWith("File: <b>X</b>\\x1b"));
    }

    void statesDifferInPatternNotOnlyColour()
    {
        SectorMapView view;
        view.setImage(threeStates(), QStringList());
        view.resize(400, 400);
        const QImage picture = view.grab().toImage().convertToFormat(QImage::Format_RGB32);
        const QRect good = view.cellRect(0).adjusted(1, 1, -2, -2);
        const QRect suspect = view.cellRect(16).adjusted(1, 1, -2, -2);
        const QRect missing = view.cellRect(32).adjusted(1, 1, -2, -2);
        QVERIFY(good.width() >= 10 && good.height() >= 10);
        // Good: one plain colour. Suspect: a hatch of two. Missing: a cross
        // of a light colour on the fill, through the centre, not in the corner.
        QCOMPARE(coloursIn(picture, good).size(), 1);
        QVERIFY(coloursIn(picture, suspect).size() >= 2);
        const QRgb centre = picture.pixel(missing.center());
        const QRgb edge = picture.pixel(missing.left(), missing.center().y());
        QVERIFY(qGray(centre) > 200);
        QVERIFY(qGray(edge) < 150);
        QVERIFY(!coloursIn(picture, suspect).contains(*coloursIn(picture, good).begin()));
    }

    // The table's map picture and the sector map page draw each state in
    // the colours of the palette.
    void picturesTakeThePalettesColours_data()
    {
        QTest::addColumn<int>("logical");
        QTest::addColumn<int>("state");
        QTest::addColumn<QRect>("mark"); // in the map picture: track 1, one side
        QTest::newRow("good") << 16 << int(SectorState::Good) << QRect(2, 2, 2, 2);
        QTest::newRow("suspect") << 17 << int(SectorState::Suspect) << QRect(2, 4, 2, 2);
        QTest::newRow("missing") << 18 << int(SectorState::Missing) << QRect(2, 6, 2, 2);
    }

    void picturesTakeThePalettesColours()
    {
        QFETCH(int, logical);
        QFETCH(int, state);
        QFETCH(QRect, mark);
        DamagedDisk disk;
        disk.crcError(17);
        disk.remove(18);
        Shown w(image("palette.dsk", disk.image.edsk()));
        w.window.setSalvage(true); // the map picture shows suspect sectors in salvage mode only
        QSettings().remove("malvore/salvage");
        w.toolBox->setCurrentIndex(MainWindow::SectorMapPage);
        QCOMPARE(int(w.map->state(logical)), state);

        const QVariant icon = w.window.findChild<QTableWidget *>("dskList")->item(0, 3)->data(Qt::DecorationRole);
        const QImage picture = icon.value<QPixmap>().toImage().convertToFormat(QImage::Format_RGB32);
        const QImage page = w.map->grab().toImage().convertToFormat(QImage::Format_RGB32);
        const QRect cell = w.map->cellRect(logical).adjusted(0, 0, -1, -1);
        const SectorLook &look = sectorLook(SectorState(state));
        QSet<QRgb> wanted{look.colour.rgb()};
        if (look.pattern == SectorLook::Hatch)
            wanted << look.patternColour.rgb();
        QVERIFY(coloursIn(picture, mark).contains(wanted));
        QVERIFY(coloursIn(page, cell).contains(wanted));
    }

    // Warnings and errors stand out in the log by the colour of their text.
    void logKindsDifferInColour_data()
    {
        QTest::addColumn<LogEntry>("entry");
        QTest::newRow("warning") << LogEntry::warning().text("careful ").strong("NAME");
        QTest::newRow("error") << LogEntry::error().text("broken").lineBreak().text("second line");
    }

    void logKindsDifferInColour()
    {
        QFETCH(LogEntry, entry);
        MainWindow window;
        window.logEntry(LogEntry::info().text("plain"));
        window.logEntry(entry);
        window.logEntry(LogEntry::info().text("plain again"));
        const QTextEdit *edit = window.findChild<QTextEdit *>("log");
        const QTextDocument *log = edit->document();
        QCOMPARE(log->blockCount(), 4);
        // The colour lies over the text of the entry's blocks, not in them.
        auto coloursOf = [log, edit](int block) {
            QSet<QRgb> colours;
            const QTextBlock text = log->findBlockByNumber(block);
            for (int at = text.position(); at < text.position() + text.length() - 1; ++at) {
                QRgb colour = 0;
                for (const QTextEdit::ExtraSelection &mark : edit->extraSelections())
                    if (mark.cursor.selectionStart() <= at && at < mark.cursor.selectionEnd())
                        colour = mark.format.foreground().color().rgb();
                colours << colour;
            }
            for (auto it = text.begin(); !it.atEnd(); ++it)
                if (it.fragment().charFormat().hasProperty(QTextFormat::ForegroundBrush))
                    colours << QRgb(1); // a colour inside the document itself
            return colours;
        };
        const QColor colour = logKindColour(entry.kind);
        QVERIFY(colour.isValid());
        QCOMPARE(coloursOf(1), QSet<QRgb>{0});
        QCOMPARE(coloursOf(2), QSet<QRgb>{colour.rgb()});
        QCOMPARE(coloursOf(3), QSet<QRgb>{0});
        QVERIFY(logKindColour(LogEntry::Kind::Warning) != logKindColour(LogEntry::Kind::Error));
    }

    void clickShowsTheSectorInTheHexView_data()
    {
        QTest::addColumn<int>("logical");
        QTest::newRow("first") << 0;
        QTest::newRow("file") << 80;
        QTest::newRow("missing") << 81;
        QTest::newRow("last track") << 39 * 16 + 5;
    }

    void clickShowsTheSectorInTheHexView()
    {
        QFETCH(int, logical);
        Shown w(image("click.dsk", gameDisk()));
        w.toolBox->setCurrentIndex(MainWindow::SectorMapPage);
        QTest::qWait(20);
        const QRect cell = w.map->cellRect(logical);
        QVERIFY(w.map->rect().contains(cell));
        QSignalSpy chosen(w.map, &SectorMapView::sectorChosen);
        QTest::mouseClick(w.map, Qt::LeftButton, Qt::NoModifier, cell.center());
        QCOMPARE(chosen.count(), 1);
        QCOMPARE(chosen.first().first().toInt(), logical);
        QCOMPARE(w.toolBox->currentIndex(), int(MainWindow::HexPage));
        // The hex view marks the sector's bytes.
        QCOMPARE(w.hex->rangeStart(), qint64(logical) * 256);
        QCOMPARE(w.hex->rangeLength(), qint64(256));
        QCOMPARE(w.map->markedSector(), logical);
        QCOMPARE(w.window.currentHexSector(), logical);
        const int line = logical * HexView::linesPerSector;
        const int maximum = w.hex->verticalScrollBar()->maximum();
        if (HexView::margin + line * w.hex->lineHeight() <= maximum)
            QCOMPARE(w.hex->firstVisibleLine(), line);
        else
            QCOMPARE(w.hex->verticalScrollBar()->value(), maximum); // as far as the dump goes
        QVERIFY(w.status().startsWith(QString("Sector %1: track ").arg(logical)));
    }

    void clickBesideTheCellsDoesNothing()
    {
        Shown w(image("beside.dsk", gameDisk()));
        w.toolBox->setCurrentIndex(MainWindow::SectorMapPage);
        QTest::mouseClick(w.map, Qt::LeftButton, Qt::NoModifier, QPoint(2, 2));
        QCOMPARE(w.toolBox->currentIndex(), int(MainWindow::SectorMapPage));
        QCOMPARE(w.map->markedSector(), -1);
    }

    void mapFollowsTheSelection()
    {
        Shown w(image("first.dsk", gameDisk()));
        w.window.addImages({image("second.dsk", ImageBuilder(80, 2).dsk())});
        w.toolBox->setCurrentIndex(MainWindow::SectorMapPage);
        QCOMPARE(w.map->sectorCount(), 80 * 2 * 16);
        QCOMPARE(w.map->state(81), SectorState::Good);
        // Two sides: the cells of side 1 lie below those of side 0.
        QVERIFY(w.map->cellRect(16).top() > w.map->cellRect(15).bottom());
        QCOMPARE(w.map->cellRect(32).left(), w.map->cellRect(0).right() + 1);
        auto *table = w.window.findChild<QTableWidget *>("dskList");
        for (int row = 0; row < table->rowCount(); ++row)
            if (table->item(row, 0)->text() == "first")
                table->setCurrentCell(row, 0);
        QCOMPARE(w.toolBox->currentIndex(), int(MainWindow::SectorMapPage));
        QCOMPARE(w.map->sectorCount(), 640);
        QCOMPARE(w.map->state(81), SectorState::Missing);
        // One side: sector 16 starts the next track.
        QCOMPARE(w.map->cellRect(16).left(), w.map->cellRect(0).right() + 1);
    }

    void nextAndPreviousDamagedSector()
    {
        Shown w(image("holes.dsk", holedDisk()));
        w.toolBox->setCurrentIndex(MainWindow::HexPage);
        QCOMPARE(w.window.currentHexSector(), 0);
        QList<int> visited;
        for (int i = 0; i < 4; ++i)
            visited << w.window.goToDamagedSector(1);
        QCOMPARE(visited, QList<int>({5, 20, 33, -1}));
        QCOMPARE(w.status(), QString("No missing or suspect sector after this one"));
        QCOMPARE(w.hex->firstVisibleLine(), 33 * HexView::linesPerSector);
        visited.clear();
        for (int i = 0; i < 3; ++i)
            visited << w.window.goToDamagedSector(-1);
        QCOMPARE(visited, QList<int>({20, 5, -1}));
        QCOMPARE(w.status(), QString("No missing or suspect sector before this one"));

        // From where the user scrolled to.
        w.hex->scrollToLine(25 * HexView::linesPerSector);
        QCOMPARE(w.window.currentHexSector(), 25);
        QCOMPARE(w.window.goToDamagedSector(-1), 20);
        w.hex->scrollToLine(25 * HexView::linesPerSector);
        QCOMPARE(w.window.goToDamagedSector(1), 33);
    }

    void damagedSectorKeys()
    {
        Shown w(image("keys.dsk", holedDisk()));
        QVERIFY(QTest::qWaitForWindowActive(&w.window));
        w.toolBox->setCurrentIndex(MainWindow::HexPage);
        QTest::keyClick(&w.window, Qt::Key_F3);
        QTest::keyClick(&w.window, Qt::Key_F3);
        QCOMPARE(w.hex->firstVisibleLine(), 20 * HexView::linesPerSector);
        QTest::keyClick(&w.window, Qt::Key_F3, Qt::ShiftModifier);
        QCOMPARE(w.hex->firstVisibleLine(), 5 * HexView::linesPerSector);
        // From another page the keys bring the hex view to the front.
        w.toolBox->setCurrentIndex(MainWindow::LogPage);
        QTest::keyClick(&w.window, Qt::Key_F3);
        QCOMPARE(w.toolBox->currentIndex(), int(MainWindow::HexPage));
        QCOMPARE(w.hex->firstVisibleLine(), 5 * HexView::linesPerSector);
    }

    void goToField_data()
    {
        QTest::addColumn<int>("kind"); // 0 sector, 1 offset
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("line"); // -1: not moved
        QTest::addColumn<QString>("status");

        QTest::newRow("sector") << 0 << "100" << 100 * 18 << "Sector 100: track 6, side 0, sector id 12";
        QTest::newRow("sector in hex") << 0 << "0x20" << 32 * 18 << "Sector 32: track 2, side 0, sector id 0";
        QTest::newRow("offset as the dump shows it") << 1 << "1a30" << 26 * 18 + 3
                                                     << "Sector 26: track 1, side 0, sector id 6";
        QTest::newRow("offset with $") << 1 << " $100 " << 18 << "Sector 1: track 0, side 0, sector id 7";
        QTest::newRow("not a number") << 0 << "zz" << -1 << "Not a sector number: zz";
        QTest::newRow("not an offset") << 1 << "-5" << -1 << "Not an offset: -5";
        QTest::newRow("beyond the image") << 0 << "640" << -1 << "The image has no sector 640";
        QTest::newRow("offset beyond") << 1 << "28000" << -1 << "The image has no offset 28000";
    }

    void goToField()
    {
        QFETCH(int, kind);
        QFETCH(QString, text);
        QFETCH(int, line);
        QFETCH(QString, status);
        Shown w(image("goto.dsk", holedDisk()));
        QVERIFY(QTest::qWaitForWindowActive(&w.window));
        w.toolBox->setCurrentIndex(MainWindow::LogPage);
        // Ctrl+G: the field on the hex view page takes the keys.
        QTest::keyClick(&w.window, Qt::Key_G, Qt::ControlModifier);
        QCOMPARE(w.toolBox->currentIndex(), int(MainWindow::HexPage));
        auto *field = w.window.findChild<QLineEdit *>("goToValue");
        QTRY_VERIFY(field->hasFocus());
        w.hex->scrollToLine(7);
        w.window.findChild<QComboBox *>("goToKind")->setCurrentIndex(kind);
        QTest::keyClicks(field, text);
        QTest::keyClick(field, Qt::Key_Return);
        QCOMPARE(w.hex->firstVisibleLine(), line < 0 ? 7 : line);
        QCOMPARE(w.status(), status);
    }

    // The map by file: owners' colours, health on top, and cells one sees.
    void byFileColoursEachOwner_data()
    {
        QTest::addColumn<int>("logical");
        QTest::addColumn<int>("kind");
        QTest::addColumn<bool>("missing");
        QTest::newRow("catalog") << 70 << int(SectorOwnerKind::Catalog) << false;
        QTest::newRow("first sector of GAME") << 80 << int(SectorOwnerKind::File) << false;
        QTest::newRow("last sector of GAME") << 83 << int(SectorOwnerKind::File) << false;
        QTest::newRow("missing sector of GAME") << 81 << int(SectorOwnerKind::File) << true;
        QTest::newRow("free") << 300 << int(SectorOwnerKind::Free) << false;
    }

    void byFileColoursEachOwner()
    {
        QFETCH(int, logical);
        QFETCH(int, kind);
        QFETCH(bool, missing);
        Shown w(image("byfile.dsk", gameDisk()));
        w.toolBox->setCurrentIndex(MainWindow::SectorMapPage);
        QCoreApplication::processEvents();
        auto *byFile = w.map->findChild<QCheckBox *>("sectorMapByFile");
        QVERIFY(byFile && byFile->isVisible());
        byFile->click();
        QCOMPARE(w.map->colouring(), SectorMapView::Colouring::ByFile);
        // Cells large enough for the owner's colour around a cross.
        w.map->setCellSize(20);
        w.map->ensureVisible(logical);
        const QColor owner = ownerColour(SectorOwnerKind(kind), 0);
        QCOMPARE(w.map->cellColour(logical).rgb(), owner.rgb());

        // The owner's colour at the cell's top edge, away from a cross's
        // arms; a missing sector's red cross through its centre.
        const QImage page = w.map->grab().toImage().convertToFormat(QImage::Format_RGB32);
        const QRect cell = w.map->cellRect(logical).adjusted(0, 0, -1, -1);
        QCOMPARE(page.pixel(cell.center().x(), cell.top() + 1), owner.rgb());
        QRect extent;
        const int red = redPixels(page, cell, &extent);
        if (missing)
            QVERIFY2(red >= cell.width() && extent.width() >= cell.width() / 2, qPrintable(QString::number(red)));
        else
            QCOMPARE(red, 0);
        // The file's colour is no other owner's.
        if (kind == int(SectorOwnerKind::File))
            for (SectorOwnerKind other : {SectorOwnerKind::Catalog, SectorOwnerKind::Lost, SectorOwnerKind::Free})
                QVERIFY(ownerColour(other) != owner);
    }

    void ownersGivenOverTheNames()
    {
        SectorMapView view;
        view.setImage(threeStates(), QStringList());
        view.setColouring(SectorMapView::Colouring::ByFile);
        QVector<SectorMapView::Owner> owners(48);
        owners[1] = {SectorOwnerKind::Lost, -1};
        owners[2] = {SectorOwnerKind::File, 5};
        owners[3] = {SectorOwnerKind::File, 6};
        view.setOwners(owners);
        QCOMPARE(view.cellColour(0).rgb(), ownerColour(SectorOwnerKind::Free).rgb());
        QCOMPARE(view.cellColour(1).rgb(), ownerColour(SectorOwnerKind::Lost).rgb());
        QCOMPARE(view.cellColour(2).rgb(), ownerColour(SectorOwnerKind::File, 5).rgb());
        QVERIFY(view.cellColour(2) != view.cellColour(3));
        view.setOwners({});
        QCOMPARE(view.cellColour(2).rgb(), ownerColour(SectorOwnerKind::Free).rgb());
        // Every file of a large disk differs from its neighbours in colour.
        QSet<QRgb> colours;
        for (int file = 0; file < 36; ++file)
            colours << ownerColour(SectorOwnerKind::File, file).rgb();
        QCOMPARE(colours.size(), 36);
    }

    void missingSectorOfALargeDiskIsSeen_data()
    {
        QTest::addColumn<int>("zoom"); // 0: fitted, as the page starts
        QTest::addColumn<bool>("byFile");
        QTest::newRow("default zoom") << 0 << false;
        QTest::newRow("default zoom, by file") << 0 << true;
        QTest::newRow("smallest zoom") << SectorMapView::smallestCell << false;
        QTest::newRow("smallest zoom, by file") << SectorMapView::smallestCell << true;
        QTest::newRow("largest zoom") << SectorMapView::largestCell << true;
    }

    void missingSectorOfALargeDiskIsSeen()
    {
        QFETCH(int, zoom);
        QFETCH(bool, byFile);
        ImageBuilder disk(255, 2);
        const int logical = 200 * 32 + 16 + 9; // track 200, side 1
        disk.removeLogicalSector(logical, false);
        Shown w(image("large.dsk", disk.dsk()));
        w.toolBox->setCurrentIndex(MainWindow::SectorMapPage);
        QCoreApplication::processEvents();
        QCOMPARE(w.map->sectorCount(), 255 * 2 * 16);
        QCOMPARE(w.map->state(logical), SectorState::Missing);
        if (zoom > 0)
            w.map->setCellSize(zoom);
        w.map->setColouring(byFile ? SectorMapView::Colouring::ByFile : SectorMapView::Colouring::Health);
        if (zoom == 0)
            QVERIFY(w.map->cellSize() >= SectorMapView::fittedCell);
        w.map->ensureVisible(logical);
        const QRect cell = w.map->cellRect(logical);
        QVERIFY(gridArea(w.map).contains(cell));

        // At least 8 x 8 pixels of red, whatever the zoom.
        const QImage page = w.map->grab().toImage().convertToFormat(QImage::Format_RGB32);
        QRect extent;
        const int red = redPixels(page, cell.adjusted(-4, -4, 4, 4), &extent);
        QVERIFY2(extent.width() >= 6 && extent.height() >= 6 && red >= 20,
                 qPrintable(QString("%1 red pixels in %2 x %3").arg(red).arg(extent.width()).arg(extent.height())));

        // The legend stays in view below the grid, and the page itself
        // never scrolls: the grid does.
        QWidget *legend = w.map->legend();
        QVERIFY(legend->isVisible());
        const QRect shown = QRect(legend->mapTo(&w.window, QPoint(0, 0)), legend->size());
        QVERIFY(w.window.centralWidget()->geometry().contains(shown));
        QVERIFY(legend->geometry().top() >= w.map->grid()->geometry().bottom());
        auto *page_ = w.window.findChild<QScrollArea *>("sectorMapScroll");
        QVERIFY(!page_->verticalScrollBar()->isVisible());
        QVERIFY(!page_->horizontalScrollBar()->isVisible());
    }

    void zoomAndFit()
    {
        Shown w(image("zoom.dsk", ImageBuilder(255, 2).dsk()));
        w.toolBox->setCurrentIndex(MainWindow::SectorMapPage);
        QCoreApplication::processEvents();
        auto *slider = w.map->findChild<QSlider *>("sectorMapZoom");
        auto *fit = w.map->findChild<QToolButton *>("sectorMapFit");
        QVERIFY(fit->isChecked());
        QCOMPARE(slider->value(), w.map->cellSize());
        slider->setValue(20);
        QVERIFY(!fit->isChecked());
        QCOMPARE(w.map->cellSize(), 20);
        QCOMPARE(w.map->cellRect(32).left() - w.map->cellRect(0).left(), 20);
        // Too wide for the page: the grid scrolls to show a sector.
        QVERIFY(w.map->grid()->horizontalScrollBar()->maximum() > 0);
        w.map->ensureVisible(254 * 32);
        QVERIFY(gridArea(w.map).contains(w.map->cellRect(254 * 32)));
        QCOMPARE(w.map->sectorAt(w.map->cellRect(254 * 32).center()), 254 * 32);
        fit->click();
        QCOMPARE(w.map->cellSize(), SectorMapView::fittedCell);
    }

    void rowLabelsAreSectorIds_data()
    {
        QTest::addColumn<int>("position");
        QTest::addColumn<QString>("label");
        // The skewed order of every track beyond the first ones.
        QTest::newRow("first") << 0 << "0";
        QTest::newRow("second") << 1 << "7";
        QTest::newRow("fourth") << 3 << "5";
    }

    void rowLabelsAreSectorIds()
    {
        QFETCH(int, position);
        QFETCH(QString, label);
        SectorMapView view;
        view.setImage(threeStates(), QStringList());
        QCOMPARE(view.rowLabel(0, position), label);
    }

    void aFilesSectorsAreOutlined()
    {
        SectorMapView view;
        view.setImage(threeStates(), QStringList());
        view.resize(400, 400);
        view.setMarkedSectors({1, 2});
        QCOMPARE(view.markedSectors(), QVector<int>({1, 2}));
        const QImage picture = view.grab().toImage().convertToFormat(QImage::Format_RGB32);
        const QRgb highlight = view.palette().color(QPalette::Highlight).rgb();
        for (int logical : {1, 2, 3}) {
            const QRect cell = view.cellRect(logical);
            const bool outlined = picture.pixel(cell.center().x(), cell.top() + 1) == highlight;
            QCOMPARE(outlined, logical != 3);
        }
    }

    void overviewShowsEveryDamagedTrack()
    {
        ImageBuilder disk(255, 2);
        for (int logical : {30 * 32 + 3, 243 * 32 + 16 + 7}) // track 30 side 0, track 243 side 1
            disk.removeLogicalSector(logical, false);
        Shown w(image("overview.dsk", disk.dsk()));
        w.toolBox->setCurrentIndex(MainWindow::SectorMapPage);
        QCoreApplication::processEvents();
        QWidget *overview = w.map->overview();
        QVERIFY(overview->isVisible());
        const QImage strip = overview->grab().toImage().convertToFormat(QImage::Format_RGB32);
        const QRgb red = sectorLook(SectorState::Missing).colour.rgb();
        // The columns holding red: two runs, one per damaged track, in
        // their places across the strip and on their sides' rows.
        QVector<int> redColumns;
        QSet<int> redRows;
        for (int x = 0; x < strip.width(); ++x)
            for (int y = 0; y < strip.height(); ++y)
                if (strip.pixel(x, y) == red) {
                    if (redColumns.isEmpty() || redColumns.last() != x)
                        redColumns << x;
                    redRows << (y < strip.height() / 2 ? 0 : 1);
                }
        QVERIFY(redColumns.size() >= 4);
        QVERIFY(redColumns.last() - redColumns.first() > strip.width() / 2);
        QCOMPARE(redRows, QSet<int>({0, 1}));
        // A click on the far mark brings its sector into view.
        const int far = 243 * 32 + 16 + 7;
        QVERIFY(!gridArea(w.map).contains(w.map->cellRect(far)));
        QTest::mouseClick(overview, Qt::LeftButton, Qt::NoModifier, QPoint(redColumns.last(), strip.height() - 3));
        QVERIFY(gridArea(w.map).contains(w.map->cellRect(far)));

        // A disk that fits the page needs none.
        w.window.addImages({image("small.dsk", gameDisk())});
        QCoreApplication::processEvents();
        QVERIFY(!overview->isVisible());
    }
};

int main(int argc, char **argv)
{
    QCoreApplication::setOrganizationName("kestrin");
    QCoreApplication::setApplicationName("malvore");
    QApplication app(argc, argv);
    TestSectorMap test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_sectormap.moc"
