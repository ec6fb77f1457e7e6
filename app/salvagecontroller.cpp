#include "salvagecontroller.h"

#include "logrender.h"
#include "mainwindow.h"
#include "rescue/pathidentity.h"
#include "rescue/session.h"

#include <QAction>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMenu>
#include <QMessageBox>
#include <QSettings>
#include <QStatusBar>
#include <QTableWidget>

// The commands are part of the window: their texts are translated with the
// window's (MainWindow::tr).

namespace {
constexpr int mapColumn = 3;
constexpr int statusTimeout = 5000;
const QString imageSuffix = QStringLiteral("dsk");
const QString salvageKey = QStringLiteral("malvore/salvage");

// Whether to merge reads refused as reads of different disks: asks the
// user, showing the refusal.
bool askMergeAnyway(QWidget *parent, const LoadResult &refused)
{
    QMessageBox box(QMessageBox::Question, MainWindow::tr("Merge reads"),
                    MainWindow::tr("These reads look like different disks: the good sectors they share differ. "
                                   "Merge anyway?"),
                    QMessageBox::Yes | QMessageBox::No, parent);
    box.setObjectName(QStringLiteral("differentDisks"));
    box.setDefaultButton(QMessageBox::No);
    if (!refused.reasons.isEmpty())
        box.setInformativeText(logEntryPlain(refused.reasons.first()));
    return box.exec() == QMessageBox::Yes;
}
} // namespace

SalvageController::SalvageController(MainWindow *window, QMenu *menu, QTableWidget *list, RescueSession *session)
    : QObject(window)
    , window(window)
    , list(list)
    , session(session)
    , salvageAction(new QAction(MainWindow::tr("&Salvage damaged sectors"), this))
    , mergeAction(new QAction(MainWindow::tr("&Merge reads"), this))
    , bestImageAction(new QAction(MainWindow::tr("Save merged &image…"), this))
    , reportAction(new QAction(MainWindow::tr("&Export sector report…"), this))
{
    salvageAction->setObjectName(QStringLiteral("actionSalvage"));
    salvageAction->setCheckable(true);
    salvageAction->setStatusTip(MainWindow::tr("Read weak sectors by the majority of their copies and mark "
                                               "sectors with data errors as suspect"));
    mergeAction->setObjectName(QStringLiteral("actionMerge"));
    mergeAction->setStatusTip(MainWindow::tr("Merge the selected reads of one disk into a new row"));
    bestImageAction->setObjectName(QStringLiteral("actionSave_merged_image"));
    reportAction->setObjectName(QStringLiteral("actionExport_sector_report"));

    menu->addSeparator();
    menu->addActions({salvageAction, mergeAction, bestImageAction, reportAction});

    const bool on = QSettings().value(salvageKey, false).toBool();
    salvageAction->setChecked(on);
    RescueOptions options = session->options();
    options.salvage = on;
    session->setOptions(options);

    connect(salvageAction, &QAction::toggled, this, &SalvageController::setSalvage);
    connect(mergeAction, &QAction::triggered, this, &SalvageController::mergeSelectedRows);
    connect(bestImageAction, &QAction::triggered, this, &SalvageController::chooseBestImagePath);
    connect(reportAction, &QAction::triggered, this, &SalvageController::chooseReportFolder);
    connect(list, &QTableWidget::itemSelectionChanged, this, &SalvageController::updateActions);
    updateActions();
}

QString SalvageController::proposedImagePath(const QString &folder, const ImageRow &row)
{
    // A merged row already carries the merge's name; a salvaged read gets
    // the same suffix, so that the image never takes the read's own name.
    const QString name = row.sources.size() > 1 ? row.name : mergedImageName(row.name);
    return QDir(folder).filePath(safeImageName(name) + QLatin1Char('.') + imageSuffix);
}

QString SalvageController::withImageSuffix(const QString &path)
{
    if (path.isEmpty() || !QFileInfo(path).suffix().isEmpty())
        return path;
    return path.endsWith(QLatin1Char('.')) ? path + imageSuffix : path + QLatin1Char('.') + imageSuffix;
}

void SalvageController::chooseBestImagePath()
{
    const ImageRow row = window->imageRowAt(list->currentRow());
    QFileDialog dialog(window, MainWindow::tr("Save merged image"));
    dialog.setObjectName(QStringLiteral("bestImageDialog"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setNameFilter(MainWindow::tr("Disk images (*.dsk *.DSK *.edsk *.scp *.SCP)"));
    // The dialog adds the extension to a name typed without one, and asks
    // before replacing the file so named.
    dialog.setDefaultSuffix(imageSuffix);
    const QString proposal = proposedImagePath(window->outputFolder(), row);
    dialog.setDirectory(QFileInfo(proposal).absolutePath());
    dialog.selectFile(QFileInfo(proposal).fileName());
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return;
    // A native dialog may not add it.
    saveBestImage(withImageSuffix(dialog.selectedFiles().first()));
}

void SalvageController::chooseReportFolder()
{
    const QString folder =
        QFileDialog::getExistingDirectory(window, MainWindow::tr("Export sector report"), window->outputFolder());
    if (!folder.isEmpty())
        exportSectorReport(folder);
}

void SalvageController::updateActions()
{
    const QTableWidgetItem *map = list->item(list->currentRow(), mapColumn);
    const bool selected = map != nullptr;
    bestImageAction->setEnabled(selected && map->data(MainWindow::PhysicalDiskRole).isValid());
    reportAction->setEnabled(selected);
    mergeAction->setEnabled(list->selectionModel()->selectedRows().size() >= 2);
}

void SalvageController::showStatus(const QString &text)
{
    window->statusBar()->showMessage(text, statusTimeout);
}

bool SalvageController::salvaging() const
{
    return session->options().salvage;
}

void SalvageController::setSalvage(bool on)
{
    if (salvageAction->isChecked() != on) {
        salvageAction->setChecked(on); // comes back here through toggled
        return;
    }
    QSettings().setValue(salvageKey, on);
    if (on == salvaging())
        return;
    RescueOptions options = session->options();
    options.salvage = on;
    session->setOptions(options);
    reloadRows();
    showStatus(on ? MainWindow::tr("Salvage mode on") : MainWindow::tr("Salvage mode off"));
}

void SalvageController::reloadRows()
{
    QList<QStringList> sources;
    for (int row = 0; row < list->rowCount(); ++row)
        sources << window->imageRowAt(row).sources;
    if (sources.isEmpty())
        return;
    const int current = qMax(0, list->currentRow());
    list->setSortingEnabled(false);
    list->setRowCount(0);
    for (const QStringList &files : sources) {
        const LoadResult result = files.size() > 1 ? session->merge(files) : session->load(files.value(0));
        if (result.status != LoadResult::Status::Accepted)
            continue;
        QTableWidgetItem *map = window->addImageRow(result.row);
        if (salvaging() || files.size() > 1)
            map->setData(MainWindow::PhysicalDiskRole, QVariant::fromValue(result.physical));
    }
    if (list->rowCount() > 0)
        list->setCurrentCell(qMin(current, list->rowCount() - 1), 0);
}

bool SalvageController::mergeSelectedRows()
{
    QStringList files;
    int tracks = -1;
    int sides = -1;
    const QModelIndexList rows = list->selectionModel()->selectedRows();
    for (const QModelIndex &index : rows) {
        const ImageRow row = window->imageRowAt(index.row());
        if ((tracks >= 0 && row.tracks != tracks) || (sides >= 0 && row.sides != sides)) {
            showStatus(MainWindow::tr("Merge needs reads of one geometry"));
            return false;
        }
        tracks = row.tracks;
        sides = row.sides;
        files += row.sources;
    }
    if (rows.size() < 2) {
        showStatus(MainWindow::tr("Select two or more reads of one disk to merge"));
        return false;
    }
    LoadResult result = session->mergeQuietly(files);
    if (result.status != LoadResult::Status::Accepted && !session->options().forceMerge) {
        // Of the refusals, only the one of reads that look like reads of
        // different disks yields to forcing: when a forced merge goes
        // through, that was the refusal, and the user decides.
        const RescueOptions options = session->options();
        RescueOptions forced = options;
        forced.forceMerge = true;
        session->setOptions(forced);
        LoadResult anyway = session->mergeQuietly(files);
        session->setOptions(options);
        if (anyway.status == LoadResult::Status::Accepted && askMergeAnyway(window, result))
            result = std::move(anyway);
    }
    for (const LogEntry &entry : result.entries)
        window->logEntry(entry);
    if (result.status != LoadResult::Status::Accepted) {
        showStatus(MainWindow::tr("The reads could not be merged"));
        return false;
    }
    QTableWidgetItem *map = window->addImageRow(result.row);
    map->setData(MainWindow::PhysicalDiskRole, QVariant::fromValue(result.physical));
    list->setCurrentCell(map->row(), 0);
    return true;
}

bool SalvageController::saveBestImage(const QString &path)
{
    const QTableWidgetItem *map = list->item(list->currentRow(), mapColumn);
    if (!map || !map->data(MainWindow::PhysicalDiskRole).isValid())
        return false;
    // The image never replaces one of the reads it was made from.
    for (const QString &source : window->imageRowAt(list->currentRow()).sources) {
        if (!sameFile(path, source))
            continue;
        const QString text = MainWindow::tr("Not saved: %1 is one of the reads of this image").arg(path);
        showStatus(text);
        auto *box = new QMessageBox(QMessageBox::Warning, MainWindow::tr("Save merged image"), text,
                                    QMessageBox::Ok, window);
        box->setObjectName(QStringLiteral("bestImageIsARead"));
        box->setAttribute(Qt::WA_DeleteOnClose);
        box->open();
        return false;
    }
    LogEntry::WriteFailure failure;
    if (!session->writeBestImage(map->data(MainWindow::PhysicalDiskRole).value<PhysicalDisk>(), path, &failure)) {
        window->reportWriteFailures({failure});
        return false;
    }
    showStatus(MainWindow::tr("Image saved to %1").arg(path));
    return true;
}

bool SalvageController::exportSectorReport(const QString &folder)
{
    const ImageRow row = window->imageRowAt(list->currentRow());
    if (row.sectorCount() == 0)
        return false;
    const bool written = session->exportReport(row, folder);
    showStatus(written ? MainWindow::tr("Sector report written to %1").arg(folder)
                       : MainWindow::tr("No sector report: the disk's layout is unknown or a file could not be "
                                        "written"));
    return written;
}
