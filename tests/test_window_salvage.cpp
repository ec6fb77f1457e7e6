// The window's commands for damaged disks: salvage mode, merging reads,
// the best image and the sector report.
#include "damageddisk.h"
#include "disk/physicaldisk.h"
#include "mainwindow.h"
#include "salvagecontroller.h"

#include <QAction>
#include <QApplication>
#include <QFileDialog>
#include <QLineEdit>
#include <QTimer>
#include <QItemSelectionModel>
#include <QSettings>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>

using rescuetest::readFile;
using rescuetest::writeFile;

class TestWindowSalvage : public QObject
{
    Q_OBJECT

    QTemporaryDir dir;

    QString image(const QString &name, const QByteArray &bytes)
    {
        const QString path = dir.filePath(name);
        if (!writeFile(path, bytes))
            qFatal("cannot write %s", qPrintable(path));
        return path;
    }

    static QTableWidget *table(MainWindow &window) { return window.findChild<QTableWidget *>("dskList"); }
    static QAction *action(MainWindow &window, const char *name) { return window.findChild<QAction *>(name); }
    static ImageRow rowValues(MainWindow &window, int row)
    {
        return table(window)->item(row, 3)->data(MainWindow::ImageRowRole).value<ImageRow>();
    }

    static void selectRows(MainWindow &window, const QList<int> &rows)
    {
        QTableWidget *list = table(window);
        list->clearSelection();
        for (int row : rows)
            list->selectionModel()->select(list->model()->index(row, 0),
                                           QItemSelectionModel::Select | QItemSelectionModel::Rows);
    }

private slots:
    void init()
    {
        QSettings().remove(QStringLiteral("malvore/salvage"));
    }

    // The mode reads the listed images again and is remembered.
    void salvageModeRereadsAndIsRemembered()
    {
        DamagedDisk disk;
        disk.crcError(17);
        disk.weak(18, {0, 2, 2});
        const QString path = image("damaged.dsk", disk.image.edsk());
        {
            MainWindow window;
            window.openImages({path});
            QCOMPARE(table(window)->rowCount(), 1);
            QCOMPARE(table(window)->item(0, 4)->text(), QString("1")); // the weak sector is bad
            QVERIFY(!rowValues(window, 0).salvage);
            action(window, "actionSalvage")->trigger();
            QVERIFY(window.salvaging());
            QCOMPARE(table(window)->rowCount(), 1);
            const ImageRow row = rowValues(window, 0);
            QVERIFY(row.salvage);
            // The row counts its suspect sectors beside the missing ones.
            QCOMPARE(table(window)->item(0, 4)->text(), QString("0 + 2 suspect"));
            QCOMPARE(row.state(17), SectorState::Suspect);
            QCOMPARE(row.state(18), SectorState::Suspect);
            QCOMPARE(row.state(19), SectorState::Good);
            QVERIFY(action(window, "actionSave_merged_image")->isEnabled());
        }
        MainWindow again;
        QVERIFY(again.salvaging());
        QVERIFY(action(again, "actionSalvage")->isChecked());
    }

    // Two reads, each lacking another sector, merge into a complete row
    // whose best image has every sector.
    void mergeAddsACompleteRow()
    {
        DamagedDisk first;
        first.remove(17);
        DamagedDisk second;
        second.remove(18);
        MainWindow window;
        window.openImages({image("read1.dsk", first.image.edsk()), image("read2.dsk", second.image.edsk())});
        selectRows(window, {0, 1});
        QVERIFY(action(window, "actionMerge")->isEnabled());
        QVERIFY(window.mergeSelectedRows());
        QCOMPARE(table(window)->rowCount(), 3);
        QCOMPARE(table(window)->item(2, 0)->text(), QString("read1-merged"));
        QCOMPARE(table(window)->item(2, 4)->text(), QString("0"));
        QCOMPARE(table(window)->currentRow(), 2);

        const QString best = dir.filePath("best.dsk");
        QVERIFY(window.saveBestImage(best));
        libdsk dsk;
        QCOMPARE(dsk.openData(readFile(best), "best"), 0);
        int t, s, id;
        first.image.logicalToPhysical(17, false, t, s, id);
        QCOMPARE(dsk.sector(t, s, id), first.game.mid(256, 256));
    }

    // Save merged image proposes NAME-merged.dsk in the output folder, NAME
    // being the first read's, and adds the extension to a name without one.
    void mergedImageProposal_data()
    {
        QTest::addColumn<QStringList>("sources");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("proposed");
        QTest::newRow("a merge") << QStringList{"/in/read1.dsk", "/in/read2.dsk"} << "read1-merged" << "read1-merged.dsk";
        QTest::newRow("one salvaged read") << QStringList{"/in/disk.dsk"} << "disk" << "disk-merged.dsk";
        QTest::newRow("a name no path may hold") << QStringList{"/in/x.dsk"} << "A/B" << "A_B-merged.dsk";
    }

    void mergedImageProposal()
    {
        QFETCH(QStringList, sources);
        QFETCH(QString, name);
        QFETCH(QString, proposed);
        ImageRow row;
        row.name = name;
        row.sources = sources;
        QCOMPARE(SalvageController::proposedImagePath("/out/rescued", row), "/out/rescued/" + proposed);
    }

    void imageSuffixAdded_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("saved");
        QTest::newRow("no extension") << "/out/best" << "/out/best.dsk";
        QTest::newRow("a final dot") << "/out/best." << "/out/best.dsk";
        QTest::newRow("dsk") << "/out/best.dsk" << "/out/best.dsk";
        QTest::newRow("another extension") << "/out/best.edsk" << "/out/best.edsk";
        QTest::newRow("a dot in a folder") << "/out/v1.2/best" << "/out/v1.2/best.dsk";
    }

    void imageSuffixAdded()
    {
        QFETCH(QString, typed);
        QFETCH(QString, saved);
        QCOMPARE(SalvageController::withImageSuffix(typed), saved);
    }

    // The dialog itself: in the output folder, the name proposed; a name
    // typed without an extension is saved with one. The merge's rescue
    // goes to the folder the batch tool gives it.
    void mergedImageDialogProposesAndSaves()
    {
        DamagedDisk first;
        first.remove(17);
        DamagedDisk second;
        second.remove(18);
        QTemporaryDir output;
        MainWindow window;
        window.setOutputRoot(output.path());
        window.openImages({image("m1.dsk", first.image.edsk()), image("m2.dsk", second.image.edsk())});
        selectRows(window, {0, 1});
        QVERIFY(window.mergeSelectedRows());
        QString directory, selected;
        QTimer poll;
        poll.setInterval(20);
        connect(&poll, &QTimer::timeout, [&] {
            auto *dialog = qobject_cast<QFileDialog *>(QApplication::activeModalWidget());
            if (!dialog || dialog->objectName() != "bestImageDialog")
                return;
            directory = dialog->directory().absolutePath();
            selected = dialog->selectedFiles().value(0);
            // Typed as a user types it: selectFile() leaves the name field
            // alone while that field has the focus.
            auto *name = dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"));
            QVERIFY(name);
            name->setText(QStringLiteral("typed"));
            QMetaObject::invokeMethod(dialog, "accept");
        });
        poll.start();
        action(window, "actionSave_merged_image")->trigger();
        poll.stop();
        QCOMPARE(QFileInfo(directory).canonicalFilePath(), QFileInfo(output.path()).canonicalFilePath());
        QCOMPARE(QFileInfo(selected).fileName(), QString("m1-merged.dsk"));
        QVERIFY(QFileInfo(output.filePath("typed.dsk")).size() > 0);
        QVERIFY(!QFileInfo::exists(output.filePath("typed")));

        action(window, "action_Save")->trigger();
        QVERIFY(QFileInfo(output.filePath("m1-merged/GAME.cod")).isFile());
    }

    void mergeRefusesOtherGeometries()
    {
        MainWindow window;
        window.openImages({image("small.dsk", DamagedDisk().image.edsk()), image("big.dsk", ImageBuilder(80, 2).edsk())});
        selectRows(window, {0, 1});
        QVERIFY(!window.mergeSelectedRows());
        QCOMPARE(table(window)->rowCount(), 2);
        selectRows(window, {0});
        QVERIFY(!window.mergeSelectedRows());
    }

    // An image whose layout could not be told is rescued as the user says.
    void rescueAsChosenLayout()
    {
        ImageBuilder disk(40, 1);
        const QByteArray code = rescuetest::pattern(1000, 3);
        disk.setLogicalBytes(80 * 256, ImageBuilder::withHeader5(3, 1000, 32768, code), false);
        MainWindow window;
        window.openImages({image("nolayout.dsk", disk.dsk())});
        QCOMPARE(table(window)->item(0, 5)->text(), QString("unknown"));
        action(window, "actionRescue_as_A2")->trigger();
        QCOMPARE(rowValues(window, 0).format, DiskFormat::TosA2);
        QCOMPARE(table(window)->item(0, 5)->text(), QString("A.2*"));
        const QString out = dir.filePath("chosen");
        window.setOutputRoot(out);
        action(window, "actionSave_All")->trigger();
        QCOMPARE(readFile(out + "/nolayout/sector_0050.cod"), code);
    }

    void exportWritesTheReport()
    {
        DamagedDisk disk;
        disk.remove(19);
        MainWindow window;
        window.openImages({image("rep.dsk", disk.image.edsk())});
        const QString out = dir.filePath("report");
        QVERIFY(QDir().mkpath(out));
        QVERIFY(window.exportSectorReport(out));
        const QStringList files = QString::fromUtf8(readFile(out + "/rep.files.csv")).split("\r\n");
        QCOMPARE(files.value(1), QString("GAME,GAME.cod,code,1005,1,0,0,no,damaged,1000"));
        const QStringList sectors = QString::fromUtf8(readFile(out + "/rep.sectors.csv")).split("\r\n");
        QCOMPARE(sectors.value(1 + 19), QString("19,1,0,5,missing,0,,GAME"));
        // Only the report: no rescue was written.
        QCOMPARE(QDir(out).entryList(QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot),
                 QStringList({"rep.files.csv", "rep.sectors.csv"}));
    }
};

int main(int argc, char *argv[])
{
    QCoreApplication::setOrganizationName(QStringLiteral("kestrin"));
    QCoreApplication::setApplicationName(QStringLiteral("malvore"));
    QApplication app(argc, argv);
    TestWindowSalvage test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_window_salvage.moc"
