// The window's commands for damaged disks: salvage mode, merging reads,
// the best image and the sector report.
#include "damageddisk.h"
#include "disk/physicaldisk.h"
#include "mainwindow.h"

#include <QAction>
#include <QApplication>
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
        QCOMPARE(files.value(1), QString("GAME,GAME.cod,code,1005,1,0,0,no,damaged"));
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
