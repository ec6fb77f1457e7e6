#include "workbench.h"

#include "mainwindow.h"
#include "rescue/session.h"
#include "views/filespage.h"
#include "views/hexview.h"
#include "views/previewpanel.h"
#include "views/sectormapview.h"

#include <QDir>
#include <QFileInfo>
#include <QMainWindow>
#include <QSplitter>
#include <QTableWidget>
#include <QToolBox>

Workbench::Workbench(QMainWindow *window, RescueSession *session)
    : QObject(window)
    , images(window->findChild<QTableWidget *>(QStringLiteral("dskList")))
    , toolBox(window->findChild<QToolBox *>(QStringLiteral("toolBox")))
    , hexView(window->findChild<HexView *>(QStringLiteral("hexView")))
    , sectorMap(window->findChild<SectorMapView *>(QStringLiteral("sectorMap")))
    , session(session)
{
    setObjectName(QStringLiteral("workbench"));
    auto *split = new QSplitter(Qt::Horizontal);
    split->setObjectName(QStringLiteral("filesTab"));
    files = new FilesPage(split);
    preview = new PreviewPanel(split);
    preview->setObjectName(QStringLiteral("previewPanel"));
    // The list gets the larger part: its verdicts at the right stay in view.
    split->setStretchFactor(0, 3);
    split->setStretchFactor(1, 2);
    split->setSizes({600, 400});
    pageWidget = split;
    toolBox->addItem(split, tr("&Files"));

    files->model()->setExporter([this](const QVector<int> &places) { return writeForDrag(places); });
    connect(images, &QTableWidget::itemSelectionChanged, this, &Workbench::showCurrentImage);
    connect(images, &QTableWidget::currentCellChanged, this, &Workbench::showCurrentImage);
    connect(files, &FilesPage::fileSelected, this, &Workbench::fileChosen);
    connect(files->model(), &FilesModel::leftOutChanged, this, &Workbench::storeLeftOut);
    // The window fills the hex view and the sector map as their pages are
    // shown, which clears what they marked: it is marked again.
    connect(toolBox, &QToolBox::currentChanged, this, &Workbench::markInViews);
}

Workbench::~Workbench() = default;

ConversionOptions Workbench::dryRunOptions(const ImageRow &row) const
{
    // What Save will do with the row, so that the places of the files
    // listed are those Save leaves out.
    ConversionOptions options;
    options.leaveOut = row.leftOut;
    options.undelete = session->options().undelete;
    options.layout = session->options().layout;
    return options;
}

void Workbench::showCurrentImage()
{
    // The table changes its selection before its current row: both are
    // followed, and the same image is not listed twice.
    const int row = images->currentRow();
    QModelIndex cell;
    for (int column = 0; row >= 0 && column < images->columnCount() && !cell.isValid(); ++column) {
        const QModelIndex candidate = images->model()->index(row, column);
        if (candidate.data(MainWindow::ImageRowRole).isValid())
            cell = candidate;
    }
    const ImageRow current = cell.isValid() ? cell.data(MainWindow::ImageRowRole).value<ImageRow>() : ImageRow();
    if (cell.isValid() && cell == imageCell && current.sectors.bytes().constData() == image.sectors.bytes().constData()
        && current.salvage == image.salvage)
        return;
    imageCell = cell;
    image = current;
    chosen = -1;
    preview->clear();
    if (!imageCell.isValid()) {
        files->clear();
        return;
    }
    ConversionOptions options = dryRunOptions(image);
    options.dryRun = true;
    options.collectDetails = true;
    const ConversionReport report = convertImage(image, options, [](const LogEntry &) {});
    if (!report.converted)
        files->clear(tr("The catalog layout of %1 is unknown: it has no files to list.").arg(image.name));
    else
        files->setFiles(report.files);
    ownersOf(report);
    markInViews();
}

void Workbench::ownersOf(const ConversionReport &report)
{
    // The sector map colours by file as the list lists them: the first
    // file to claim a sector owns it, as in the rescue.
    owners.clear();
    if (!report.converted)
        return;
    owners.resize(image.sectorCount());
    for (int sector = 0; sector < owners.size() && sector < report.sectorOwners.size(); ++sector)
        if (report.sectorOwners.at(sector) == QLatin1String("catalog"))
            owners[sector].kind = SectorMapView::Owner::Kind::Catalog;
    for (int place = 0; place < report.files.size(); ++place) {
        const FileSummary &file = report.files.at(place);
        for (int sector : file.sectors) {
            if (sector < 0 || sector >= owners.size() || owners.at(sector).kind != SectorMapView::Owner::Kind::Free)
                continue;
            owners[sector].kind = file.origin == FileOrigin::Lost ? SectorMapView::Owner::Kind::Lost
                                                                  : SectorMapView::Owner::Kind::File;
            owners[sector].file = place;
        }
    }
}

void Workbench::fileChosen(int place)
{
    chosen = place;
    const QVector<FileSummary> &list = files->model()->files();
    if (place < 0 || place >= list.size()) {
        preview->clear();
        return;
    }
    preview->showFile(image, list.at(place));
    markInViews();
}

void Workbench::markInViews()
{
    if (!owners.isEmpty() && sectorMap->sectorCount() == owners.size())
        sectorMap->setOwners(owners);
    const QVector<FileSummary> &list = files->model()->files();
    if (chosen < 0 || chosen >= list.size() || list.at(chosen).sectors.isEmpty()) {
        hexView->clearRange();
        sectorMap->setMarkedSectors({});
        return;
    }
    const FileSummary &file = list.at(chosen);
    // The file's first run of consecutive sectors: where its first bytes are.
    int run = 1;
    while (run < file.sectors.size() && file.sectors.at(run) == file.sectors.first() + run)
        ++run;
    const qint64 offset = qint64(file.sectors.first()) * 256;
    const qint64 length = qMin<qint64>(qint64(run) * 256, qint64(file.headerSize) + bodyLength(file));
    hexView->showRange(offset, qMax<qint64>(1, length));
    sectorMap->setMarkedSectors(file.sectors);
}

void Workbench::storeLeftOut(const QSet<int> &places)
{
    if (!imageCell.isValid())
        return;
    image.leftOut = places;
    images->model()->setData(imageCell, QVariant::fromValue(image), MainWindow::ImageRowRole);
}

QList<QUrl> Workbench::writeForDrag(const QVector<int> &places)
{
    const QVector<FileSummary> &list = files->model()->files();
    if (!dragRoot)
        dragRoot.reset(new QTemporaryDir(QDir::tempPath() + QStringLiteral("/malvore-drag-XXXXXX")));
    if (!dragRoot->isValid() || list.isEmpty())
        return {};
    // Each drag into a folder of its own: a file manager may still be
    // copying the last one.
    ConversionOptions options = dryRunOptions(image);
    options.outputRoot = dragRoot->path() + QStringLiteral("/%1").arg(++drags);
    options.collectDetails = true;
    options.leaveOut.clear();
    for (int place = 0; place < list.size(); ++place)
        if (!places.contains(place))
            options.leaveOut.insert(place);
    if (!QDir().mkpath(options.outputRoot))
        return {};
    const ConversionReport report = convertImage(image, options, [](const LogEntry &) {});
    QList<QUrl> urls;
    for (int place : places) {
        if (place < 0 || place >= report.files.size())
            continue;
        const QString path = report.folder + report.files.at(place).file;
        bool failed = false;
        for (const LogEntry::WriteFailure &failure : report.failures)
            failed = failed || failure.path == path;
        if (!failed && QFileInfo(path).isFile())
            urls.append(QUrl::fromLocalFile(QDir::cleanPath(path)));
    }
    return urls;
}
