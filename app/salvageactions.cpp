// The window's commands for damaged disks: salvage mode, merging reads,
// the best image and the sector report.
#include "mainwindow.h"
#include "ui_mainwindow.h"

#include "rescue/session.h"

#include <QAction>
#include <QFileDialog>
#include <QMenu>
#include <QStatusBar>

namespace {
constexpr int mapColumn = 3;
const QString salvageKey = QStringLiteral("malvore/salvage");
} // namespace

void MainWindow::setupSalvageActions()
{
    QMenu *menu = ui->menuRescue;
    menu->addSeparator();
    auto *salvage = menu->addAction(tr("Salvage damaged sectors"));
    salvage->setObjectName(QStringLiteral("actionSalvage"));
    salvage->setCheckable(true);
    salvage->setStatusTip(tr("Read weak sectors by the majority of their copies and mark sectors with data "
                             "errors as suspect"));
    auto *merge = menu->addAction(tr("Merge reads"));
    merge->setObjectName(QStringLiteral("actionMerge"));
    merge->setStatusTip(tr("Merge the selected reads of one disk into a new row"));
    auto *bestImage = menu->addAction(tr("Save merged image..."));
    bestImage->setObjectName(QStringLiteral("actionSave_merged_image"));
    auto *report = menu->addAction(tr("Export sector report..."));
    report->setObjectName(QStringLiteral("actionExport_sector_report"));

    const bool on = settings.value(salvageKey, false).toBool();
    salvage->setChecked(on);
    RescueOptions options = session->options();
    options.salvage = on;
    session->setOptions(options);

    connect(salvage, &QAction::toggled, this, &MainWindow::setSalvage);
    connect(merge, &QAction::triggered, this, [this] { mergeSelectedRows(); });
    connect(bestImage, &QAction::triggered, this, [this] {
        const QString path = QFileDialog::getSaveFileName(this, tr("Save merged image"), lastDir,
                                                          tr("Disk images (*.dsk *.DSK *.edsk)"));
        if (!path.isEmpty())
            saveBestImage(path);
    });
    connect(report, &QAction::triggered, this, [this] {
        const QString folder = QFileDialog::getExistingDirectory(this, tr("Export sector report"), outputFolder());
        if (!folder.isEmpty())
            exportSectorReport(folder);
    });
    connect(ui->dskList, &QTableWidget::itemSelectionChanged, this, &MainWindow::updateSalvageActions);
    updateSalvageActions();
}

void MainWindow::updateSalvageActions()
{
    const QTableWidgetItem *map = ui->dskList->item(ui->dskList->currentRow(), mapColumn);
    const bool selected = map != nullptr;
    findChild<QAction *>(QStringLiteral("actionSave_merged_image"))
        ->setEnabled(selected && map->data(PhysicalDiskRole).isValid());
    findChild<QAction *>(QStringLiteral("actionExport_sector_report"))->setEnabled(selected);
    findChild<QAction *>(QStringLiteral("actionMerge"))
        ->setEnabled(ui->dskList->selectionModel()->selectedRows().size() >= 2);
}

bool MainWindow::salvaging() const
{
    return session->options().salvage;
}

void MainWindow::setSalvage(bool on)
{
    auto *action = findChild<QAction *>(QStringLiteral("actionSalvage"));
    if (action->isChecked() != on) {
        action->setChecked(on); // comes back here through toggled
        return;
    }
    settings.setValue(salvageKey, on);
    if (on == salvaging())
        return;
    RescueOptions options = session->options();
    options.salvage = on;
    session->setOptions(options);
    reloadRows();
    statusBar()->showMessage(on ? tr("Salvage mode on") : tr("Salvage mode off"), 5000);
}

void MainWindow::reloadRows()
{
    QList<QStringList> sources;
    for (int row = 0; row < ui->dskList->rowCount(); ++row)
        sources << imageRowAt(row).sources;
    if (sources.isEmpty())
        return;
    const int current = qMax(0, ui->dskList->currentRow());
    ui->dskList->setSortingEnabled(false);
    ui->dskList->setRowCount(0);
    for (const QStringList &files : sources) {
        const LoadResult result = files.size() > 1 ? session->merge(files) : session->load(files.value(0));
        if (result.status != LoadResult::Status::Accepted)
            continue;
        ImageRow row = result.row;
        if (files.size() > 1)
            row.name = QStringLiteral("%1-merged").arg(row.name);
        QTableWidgetItem *map = addImageRow(row);
        if (salvaging() || files.size() > 1)
            map->setData(PhysicalDiskRole, QVariant::fromValue(result.physical));
    }
    if (ui->dskList->rowCount() > 0)
        ui->dskList->setCurrentCell(qMin(current, ui->dskList->rowCount() - 1), 0);
}

bool MainWindow::mergeSelectedRows()
{
    QStringList files;
    int tracks = -1;
    int sides = -1;
    const QModelIndexList rows = ui->dskList->selectionModel()->selectedRows();
    for (const QModelIndex &index : rows) {
        const ImageRow row = imageRowAt(index.row());
        if ((tracks >= 0 && row.tracks != tracks) || (sides >= 0 && row.sides != sides)) {
            statusBar()->showMessage(tr("Merge needs reads of one geometry"), 5000);
            return false;
        }
        tracks = row.tracks;
        sides = row.sides;
        files += row.sources;
    }
    if (rows.size() < 2) {
        statusBar()->showMessage(tr("Select two or more reads of one disk to merge"), 5000);
        return false;
    }
    const LoadResult result = session->merge(files);
    if (result.status != LoadResult::Status::Accepted) {
        statusBar()->showMessage(tr("The reads could not be merged"), 5000);
        return false;
    }
    ImageRow row = result.row;
    row.name = QStringLiteral("%1-merged").arg(row.name);
    QTableWidgetItem *map = addImageRow(row);
    map->setData(PhysicalDiskRole, QVariant::fromValue(result.physical));
    ui->dskList->setCurrentCell(map->row(), 0);
    return true;
}

bool MainWindow::saveBestImage(const QString &path)
{
    const QTableWidgetItem *map = ui->dskList->item(ui->dskList->currentRow(), mapColumn);
    if (!map || !map->data(PhysicalDiskRole).isValid())
        return false;
    LogEntry::WriteFailure failure;
    if (!session->writeBestImage(map->data(PhysicalDiskRole).value<PhysicalDisk>(), path, &failure)) {
        reportWriteFailures({failure});
        return false;
    }
    statusBar()->showMessage(tr("Image saved to %1").arg(path), 5000);
    return true;
}

bool MainWindow::exportSectorReport(const QString &folder)
{
    const ImageRow row = imageRowAt(ui->dskList->currentRow());
    if (row.map.isEmpty())
        return false;
    const bool written = session->exportReport(row, folder);
    statusBar()->showMessage(written ? tr("Sector report written to %1").arg(folder)
                                     : tr("No sector report: the disk's layout is unknown or a file could not be written"),
                             5000);
    return written;
}
