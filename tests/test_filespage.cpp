// The window's Files page on a damaged disk: its rows and verdicts, sorting
// and filtering, the check boxes that choose what Save writes, a file
// chosen, and files dragged out onto a file manager.
#include "mainwindow.h"
#include "rescuetestutil.h"
#include "views/filespage.h"
#include "views/hexview.h"
#include "views/palette.h"
#include "views/previewpanel.h"
#include "views/sectormapview.h"

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QSettings>
#include <QSortFilterProxyModel>
#include <QStatusBar>
#include <QTableView>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QItemSelectionModel>
#include <QTextEdit>
#include <QToolBox>

using rescuetest::readFile;
using rescuetest::writeFile;

namespace {

// A 40-track A.4 disk (1 KB blocks from sector 0) with a program, a screen,
// code and text in its catalog (from block 20 on, so that no first byte of
// the first 64 sectors looks like a CP/M disk's) and a code file no entry
// claims, damaged in three places: a sector of the program (its fifth, 84)
// and one of the screen are missing, one of the code has a data error.
struct FilesDisk
{
    ImageBuilder image{40, 1};
    QByteArray program;
    QByteArray prog;
    QByteArray screen = ImageBuilder::withHeader5(3, 6912, 16384, rescuetest::pattern(6912, 2));
    QByteArray game = ImageBuilder::withHeader5(3, 1000, 32768, rescuetest::pattern(1000, 3));
    QByteArray notes = QByteArray("NOTES OF A DISK\n").repeated(50);
    QByteArray lost = ImageBuilder::withHeader5(3, 1000, 40000, rescuetest::pattern(1000, 4)); // 4 sectors, filler after it

    FilesDisk()
    {
        for (int n = 1; n <= 50; ++n) {
            const QByteArray text = "\xf5\"" + QByteArray::number(n).rightJustified(4, '0') + " LINE OF TEXT\"\x0d";
            program += char(0) + QByteArray(1, char(n)) + rescuetest::word(text.size()) + text;
        }
        const QByteArray variables("\x61\x00\x00\x05\x00\x00", 6);
        prog = ImageBuilder::withHeader7(10, program.size(), program + variables);
        entry(1, "PROG", prog, "\x14\x15");
        entry(2, "SCREEN", screen, "\x16\x17\x18\x19\x1a\x1b\x1c");
        entry(3, "GAME", game, "\x1d");
        entry(4, "NOTES", notes, "\x1e");
        image.setLogicalBytes(200 * 256, lost, false);
        remove(84);
        remove(94);
        ImageBuilder::Sector *flawed = at(117);
        flawed->st1 = 0x20;
        flawed->st2 = 0x20;
    }

    void entry(int index, const QByteArray &name, const QByteArray &bytes, const QByteArray &blocks)
    {
        image.setLogicalBytes(index * 32, rescuetest::extentEntry(0, name, "", 0, bytes.size(), blocks), false);
        image.setLogicalBytes(quint8(blocks.at(0)) * 1024, bytes, false);
    }
    ImageBuilder::Sector *at(int logical)
    {
        int t, s, id;
        image.logicalToPhysical(logical, false, t, s, id);
        return image.sector(t, s, id);
    }
    void remove(int logical)
    {
        int t, s, id;
        image.logicalToPhysical(logical, false, t, s, id);
        image.removeSector(t, s, id);
    }
};

const QStringList fileNames{"PROG", "SCREEN", "GAME", "NOTES", "sector_00c8.cod"};

} // namespace

class TestFilesPage : public QObject
{
    Q_OBJECT

    QTemporaryDir dir;
    FilesDisk disk;
    QString diskPath;

    static QTableWidget *images(MainWindow &window) { return window.findChild<QTableWidget *>("dskList"); }
    static FilesPage *page(MainWindow &window) { return window.findChild<FilesPage *>(); }
    static ImageRow rowValues(MainWindow &window)
    {
        return images(window)->item(0, 3)->data(MainWindow::ImageRowRole).value<ImageRow>();
    }
    static QString cell(FilesPage *page, int row, int column, int role = Qt::DisplayRole)
    {
        return page->proxy()->index(row, column).data(role).toString();
    }
    static QStringList names(FilesPage *page)
    {
        QStringList list;
        for (int row = 0; row < page->proxy()->rowCount(); ++row)
            list << cell(page, row, FilesModel::NameColumn);
        return list;
    }
    static int rowNamed(FilesPage *page, const QString &name) { return names(page).indexOf(name); }
    // Opens the disk in the window: its Files page lists it.
    FilesPage *opened(MainWindow &window) const
    {
        window.openImages({diskPath});
        return page(window);
    }

private slots:
    void initTestCase()
    {
        diskPath = dir.filePath("files.dsk");
        QVERIFY(writeFile(diskPath, disk.image.edsk()));
    }

    void init() { QSettings().remove(QStringLiteral("malvore/salvage")); }

    // One row per file the rescue finds, in its order: the verdict as a
    // symbol and a word in the verdict's colour, lost blocks marked as
    // recovered.
    void rowsAndVerdicts_data()
    {
        QTest::addColumn<bool>("salvage");
        QTest::addColumn<QStringList>("rows"); // name|type|length|start|sectors|verdict|found in
        QTest::addColumn<QString>("summary");

        const QString prog = QStringLiteral("PROG|BASIC program|%1|line 10|8 (1 missing)|\u2716 damaged|catalog")
                                 .arg(disk.prog.size() - 7);
        const QString screen = QStringLiteral("SCREEN|Code (screen)|6912|16384|28 (1 missing)|\u2716 damaged|catalog");
        const QString notes = QStringLiteral("NOTES|Data|800||4|\u2714 complete|catalog");
        const QString lost = QStringLiteral("sector_00c8.cod|Code|1000|40000|4|\u2714 complete|recovered (lost block)");
        QTest::newRow("default mode")
            << false << QStringList{prog, screen, QStringLiteral("GAME|Code|1000|32768|4|? unverified|catalog"), notes, lost}
            << "5 file(s): 2 complete, 2 damaged, 1 unverified. 1 recovered from lost blocks.";
        QTest::newRow("salvage mode")
            << true << QStringList{prog, screen, QStringLiteral("GAME|Code|1000|32768|4 (1 suspect)|\u26a0 suspect|catalog"), notes, lost}
            << "5 file(s): 2 complete, 2 damaged, 1 suspect. 1 recovered from lost blocks.";
    }

    void rowsAndVerdicts()
    {
        QFETCH(bool, salvage);
        QFETCH(QStringList, rows);
        QFETCH(QString, summary);
        MainWindow window;
        window.setSalvage(salvage);
        FilesPage *files = opened(window);
        QVERIFY(files);
        QStringList shown;
        for (int row = 0; row < files->proxy()->rowCount(); ++row) {
            QStringList cells;
            for (int column = 0; column < FilesModel::ColumnCount; ++column)
                cells << cell(files, row, column);
            shown << cells.join(QLatin1Char('|'));
            // Every file is checked: Save writes it.
            QCOMPARE(files->proxy()->index(row, FilesModel::NameColumn).data(Qt::CheckStateRole).toInt(),
                     int(Qt::Checked));
        }
        for (int row = 0; row < rows.size(); ++row)
            QCOMPARE(shown.value(row), rows.at(row));
        QCOMPARE(shown.size(), rows.size());
        QCOMPARE(files->summary(), summary);
        // The verdict's colour and tint come from the one table.
        for (int row = 0; row < files->proxy()->rowCount(); ++row) {
            const FileSummary &file = files->model()->files().at(row);
            const QModelIndex verdict = files->proxy()->index(row, FilesModel::VerdictColumn);
            QCOMPARE(verdict.data(Qt::ForegroundRole).value<QColor>(), verdictLook(file.verdict).colour);
            QCOMPARE(verdict.data(Qt::BackgroundRole).value<QColor>(), verdictLook(file.verdict).tint);
        }
    }

    // Where each file was found shows in its own column, and files without
    // a live catalog entry stand out in italics; the line below counts them.
    void originsAndSummary()
    {
        auto file = [](const char *name, Verdict verdict, FileOrigin origin) {
            FileSummary summary;
            summary.name = QString::fromLatin1(name);
            summary.type = QStringLiteral("data");
            summary.verdict = verdict;
            summary.origin = origin;
            return summary;
        };
        FilesPage files;
        files.setFiles({file("KEPT", Verdict::Complete, FileOrigin::Catalog),
                        file("GONE", Verdict::Damaged, FileOrigin::Deleted),
                        file("sector_0070.dat", Verdict::Suspect, FileOrigin::Lost)});
        const QStringList origins{"catalog", "deleted entry", "recovered (lost block)"};
        for (int row = 0; row < 3; ++row) {
            QCOMPARE(cell(&files, row, FilesModel::OriginColumn), origins.at(row));
            const QFont font = files.proxy()->index(row, FilesModel::NameColumn).data(Qt::FontRole).value<QFont>();
            QCOMPARE(font.italic(), row > 0);
        }
        QCOMPARE(files.summary(), QString("3 file(s): 1 complete, 1 damaged, 1 suspect. 1 from deleted entries. "
                                          "1 recovered from lost blocks."));
        files.model()->setChecked(1, false);
        QCOMPARE(files.model()->leftOut(), QSet<int>{1});
        QVERIFY(files.summary().endsWith(QLatin1String(" 1 left out of Save.")));
    }

    // Any column sorts by its value, numbers as numbers; the filter keeps
    // the names that hold its text, in any case.
    void sortAndFilter_data()
    {
        QTest::addColumn<int>("column");
        QTest::addColumn<QString>("filter");
        QTest::addColumn<QStringList>("expected");

        QTest::newRow("by name") << int(FilesModel::NameColumn) << QString()
                                 << QStringList{"GAME", "NOTES", "PROG", "SCREEN", "sector_00c8.cod"};
        QTest::newRow("by length") << int(FilesModel::LengthColumn) << QString()
                                   << QStringList{"NOTES", "GAME", "sector_00c8.cod", "PROG", "SCREEN"};
        QTest::newRow("by start") << int(FilesModel::StartColumn) << QString()
                                  << QStringList{"NOTES", "PROG", "SCREEN", "GAME", "sector_00c8.cod"};
        QTest::newRow("by sectors") << int(FilesModel::SectorsColumn) << QString()
                                    << QStringList{"GAME", "NOTES", "sector_00c8.cod", "PROG", "SCREEN"};
        QTest::newRow("filter s") << -1 << "s" << QStringList{"SCREEN", "NOTES", "sector_00c8.cod"};
        QTest::newRow("filter Sc, by name") << int(FilesModel::NameColumn) << "Sc" << QStringList{"SCREEN"};
        QTest::newRow("filter nothing") << -1 << "xyz" << QStringList();
    }

    void sortAndFilter()
    {
        QFETCH(int, column);
        QFETCH(QString, filter);
        QFETCH(QStringList, expected);
        MainWindow window;
        FilesPage *files = opened(window);
        QCOMPARE(names(files), fileNames); // the rescue's order at first
        if (column >= 0)
            files->table()->sortByColumn(column, Qt::AscendingOrder);
        QTest::keyClicks(files->filter(), filter);
        QCOMPARE(names(files), expected);
    }

    // Save writes the checked files only, and the summary counts the others.
    void saveWritesCheckedFilesOnly_data()
    {
        QTest::addColumn<QStringList>("unchecked");

        QTest::newRow("all checked") << QStringList();
        QTest::newRow("a damaged file") << QStringList{"SCREEN"};
        QTest::newRow("a program and a lost block") << QStringList{"PROG", "sector_00c8.cod"};
        QTest::newRow("all unchecked") << fileNames;
    }

    void saveWritesCheckedFilesOnly()
    {
        QFETCH(QStringList, unchecked);
        QTemporaryDir output;
        MainWindow window;
        window.setOutputRoot(output.path());
        FilesPage *files = opened(window);
        QSet<int> places;
        for (const QString &name : unchecked) {
            const int row = rowNamed(files, name);
            QVERIFY(row >= 0);
            places.insert(row);
            QVERIFY(files->proxy()->setData(files->proxy()->index(row, FilesModel::NameColumn), Qt::Unchecked,
                                            Qt::CheckStateRole));
        }
        QCOMPARE(rowValues(window).leftOut, places);
        QCOMPARE(files->summary().contains(QLatin1String("left out of Save")), !unchecked.isEmpty());

        images(window)->selectAll();
        window.findChild<QAction *>("action_Save")->trigger();
        const ImageRow row = rowValues(window);
        const QString folder = output.filePath("files/");
        for (const FileSummary &file : files->model()->files()) {
            const QString path = folder + file.file;
            QCOMPARE(QFileInfo::exists(path), !unchecked.contains(file.name));
            if (!unchecked.contains(file.name)) // the bytes the preview shows
                QCOMPARE(readFile(path), fileContent(row, file).body);
        }
        const QString status = window.statusBar()->currentMessage();
        if (unchecked.isEmpty())
            QVERIFY2(!status.contains(QLatin1String("left out")), qPrintable(status));
        else
            QVERIFY2(status.contains(QStringLiteral("; %1 left out by choice").arg(unchecked.size())),
                     qPrintable(status));
    }

    // Space checks the selected files, or unchecks them when all are.
    void spaceTogglesTheSelectedFiles()
    {
        MainWindow window;
        FilesPage *files = opened(window);
        QTableView *table = files->table();
        table->selectionModel()->select(files->proxy()->index(rowNamed(files, "GAME"), 0),
                                        QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        table->selectionModel()->select(files->proxy()->index(rowNamed(files, "NOTES"), 0),
                                        QItemSelectionModel::Select | QItemSelectionModel::Rows);
        QTest::keyClick(table, Qt::Key_Space); // both checked: both unchecked
        QCOMPARE(rowValues(window).leftOut, (QSet<int>{2, 3}));
        files->model()->setChecked(2, true);
        QTest::keyClick(table, Qt::Key_Space); // one unchecked: both checked
        QCOMPARE(rowValues(window).leftOut, QSet<int>());
        QTest::keyClick(table, Qt::Key_Space);
        QCOMPARE(rowValues(window).leftOut, (QSet<int>{2, 3}));
    }

    // Choosing a file previews it and marks where it lies.
    void choosingAFile_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("kind");
        QTest::addColumn<int>("firstSector");

        QTest::newRow("program") << "PROG" << int(PreviewPanel::Kind::Listing) << 80;
        QTest::newRow("screen") << "SCREEN" << int(PreviewPanel::Kind::Screen) << 88;
        QTest::newRow("code") << "GAME" << int(PreviewPanel::Kind::Code) << 116;
        QTest::newRow("text") << "NOTES" << int(PreviewPanel::Kind::Text) << 120;
        QTest::newRow("lost block") << "sector_00c8.cod" << int(PreviewPanel::Kind::Code) << 200;
    }

    void choosingAFile()
    {
        QFETCH(QString, name);
        QFETCH(int, kind);
        QFETCH(int, firstSector);
        MainWindow window;
        FilesPage *files = opened(window);
        files->table()->setCurrentIndex(files->proxy()->index(rowNamed(files, name), FilesModel::TypeColumn));
        auto *preview = window.findChild<PreviewPanel *>();
        QCOMPARE(int(preview->kind()), kind);
        // The sector map outlines the file's sectors, the hex view shows its
        // first bytes.
        const QVector<int> sectors = page(window)->model()->files().at(rowNamed(files, name)).sectors;
        QCOMPARE(sectors.value(0), firstSector);
        QCOMPARE(window.findChild<SectorMapView *>("sectorMap")->markedSectors(), sectors);
        QCOMPARE(window.findChild<HexView *>("hexView")->rangeStart(), firstSector * 256);
        // The sector map, by file, colours the sectors of each file as the
        // list places it.
        window.findChild<QToolBox *>("toolBox")->setCurrentIndex(MainWindow::SectorMapPage);
        auto *map = window.findChild<SectorMapView *>("sectorMap");
        QCOMPARE(map->markedSectors(), sectors);
        QCOMPARE(map->owner(firstSector).file, rowNamed(files, name));
        QCOMPARE(map->owner(firstSector).kind, name.startsWith("sector_") ? SectorOwnerKind::Lost : SectorOwnerKind::File);
        QCOMPARE(map->owner(0).kind, SectorOwnerKind::Catalog);
    }

    // The program's lines up to its missing sector are listed as they are;
    // the first line the sector touches is marked.
    void programPreviewMarksTheMissingSector()
    {
        MainWindow window;
        opened(window)->selectPlace(0);
        auto *preview = window.findChild<PreviewPanel *>();
        // Sector 84 is bytes 1024..1279 of the file; the lines are of equal
        // size from byte 7 on.
        const int lineSize = disk.program.size() / 50;
        const int firstTouched = (1024 - 7) / lineSize;
        const QStringList lines = preview->text().split(QLatin1Char('\n'));
        for (int line = 0; line < firstTouched; ++line)
            QCOMPARE(lines.value(line), QStringLiteral("%1 PRINT \"%2 LINE OF TEXT\"").arg(line + 1, 5).arg(line + 1, 4, 10, QLatin1Char('0')));
        QCOMPARE(preview->damagedLines().value(0), firstTouched);
    }

    // A file dragged out is written when the drop asks for it, alone, with
    // the bytes Save gives it.
    void dragWritesTheFileOnDrop()
    {
        // The temporary folder of the drags, seen from here.
        const QString temporary = dir.filePath("tmp");
        QVERIFY(QDir().mkpath(temporary));
        const QByteArray oldTemporary = qgetenv("TMPDIR");
        qputenv("TMPDIR", QFile::encodeName(temporary));
        {
            MainWindow window;
            FilesPage *files = opened(window);
            const int row = rowNamed(files, "GAME");
            std::unique_ptr<QMimeData> drag(files->proxy()->mimeData({files->proxy()->index(row, 0)}));
            QVERIFY(drag);
            // A drop target that looks whether it takes URLs writes nothing.
            QVERIFY(drag->hasUrls());
            QVERIFY(QDir(temporary).isEmpty());
            const QList<QUrl> urls = drag->urls();
            QCOMPARE(urls.size(), 1);
            const QString path = urls.first().toLocalFile();
            QVERIFY(path.startsWith(temporary));
            QCOMPARE(QFileInfo(path).fileName(), QString("GAME.cod"));
            QCOMPARE(readFile(path), disk.game.mid(5));
            // Only the dragged file of the image was written.
            const QStringList written = QDir(QFileInfo(path).path()).entryList(QDir::Files);
            for (const char *other : {"PROG.bas", "SCREEN.cod", "NOTES.dat", "sector_00c8.cod"})
                QVERIFY2(!written.contains(QLatin1String(other)), qPrintable(written.join(' ')));
            // Asked again, the same file.
            QCOMPARE(drag->urls(), urls);
        }
        // The window's temporaries go with it.
        QVERIFY(QDir(temporary).isEmpty());
        if (oldTemporary.isNull())
            qunsetenv("TMPDIR");
        else
            qputenv("TMPDIR", oldTemporary);
    }
};

QTEST_MAIN(TestFilesPage)
#include "test_filespage.moc"
