#include "mainwindow.h"
#include "ui_mainwindow.h"

#include "logrender.h"
#include "rescue/session.h"
#include "views/gfxview.h"
#include "views/hexview.h"
#include "views/mappicture.h"

#include <QCloseEvent>
#include <QDebug>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QGraphicsScene>
#include <QHeaderView>
#include <QMessageBox>
#include <QMimeData>
#include <QScrollBar>
#include <QUrl>

// The resources live in a static library: register them explicitly.
static Ui::MainWindow *initResourcesAndForm()
{
    Q_INIT_RESOURCE(resources);
    return new Ui::MainWindow;
}

namespace {
constexpr int mapColumn = 3;

QTableWidgetItem *numberItem(int value)
{
    auto *item = new QTableWidgetItem;
    item->setData(Qt::DisplayRole, value);
    return item;
}
} // namespace

MainWindow::MainWindow(QWidget *parent)
    : QMainWindow(parent)
    , ui(initResourcesAndForm())
{
    ui->setupUi(this);

    ui->dskList->setIconSize(QSize(96, 96));
    ui->splitter->setStretchFactor(0, 2);
    ui->splitter->setStretchFactor(1, 1);
    ui->toolBox->setCurrentIndex(0);

    restoreGeometry(settings.value(QStringLiteral("gui/geometry")).toByteArray());
    restoreState(settings.value(QStringLiteral("gui/state")).toByteArray(), 0);
    ui->splitter->restoreState(settings.value(QStringLiteral("gui/splitter")).toByteArray());

    ui->dskList->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    ui->dskList->verticalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    QFont tableFont = ui->dskList->font();
    tableFont.setPointSize(12);
    ui->dskList->setFont(tableFont);

    QFontDatabase::addApplicationFont(QStringLiteral(":/ttf/SpectrumMedium.ttf"));
    spectrumFont = QFont(QStringLiteral("Spectrum"), 10);
    ui->hexView->setFont(spectrumFont);

    lastDir = settings.value(QStringLiteral("malvore/lastDir"), QStringLiteral(".")).toString();

    connect(ui->dskList, &QTableWidget::itemSelectionChanged, this, &MainWindow::onSelectionChange);

    appendLog(QStringLiteral("<b>TOS Malvore</b> ver. 0.1.0"));

    session = new RescueSession([this](const LogEntry &entry) { logEntry(entry); }, this);

    setAcceptDrops(true);
}

MainWindow::~MainWindow()
{
    delete scene;
    delete ui;
}

void MainWindow::appendLog(const QString &text)
{
    ui->log->append(text);
}

void MainWindow::message(const QString &html)
{
    appendLog(html);
}

void MainWindow::logEntry(const LogEntry &entry)
{
    if (entry.isWriteFailure())
        appendLog(QStringLiteral("<span style=\"color:#c00000\">%1</span>").arg(logEntryHtml(entry)));
    else
        appendLog(logEntryHtml(entry));
}

void MainWindow::closeEvent(QCloseEvent *event)
{
    settings.setValue(QStringLiteral("gui/splitter"), ui->splitter->saveState());
    settings.setValue(QStringLiteral("gui/geometry"), saveGeometry());
    settings.setValue(QStringLiteral("gui/state"), saveState(0));
    settings.setValue(QStringLiteral("malvore/lastDir"), lastDir);
    QMainWindow::closeEvent(event);
}

void MainWindow::on_actionAbout_triggered()
{
    QMessageBox box(QMessageBox::Information, tr("About"),
                    tr("TOS Malvore\n\n\n"
                       "(c) 2026 the TOS Malvore developers\n"
                       "kestrin.org\n"
                       "\n"
                       "Icons: drawn for this program, https://kestrin.org/malvore/icons"),
                    QMessageBox::Ok, nullptr, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint);
    box.setIconPixmap(QPixmap(QStringLiteral(":gfx/icon.png"))
                          .scaled(128, 128, Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
    setFocusProxy(&box);
    box.exec();
    setFocusProxy(nullptr);
}

void MainWindow::on_action_Open_triggered()
{
    const QStringList paths = QFileDialog::getOpenFileNames(
        this, tr("Open DSK files"), lastDir, tr("Disk Images (*.dsk)"));
    if (paths.isEmpty())
        return;
    openImages(paths);
}

void MainWindow::openImages(const QStringList &paths)
{
    if (paths.isEmpty())
        return;
    ui->dskList->clearContents();
    ui->dskList->setRowCount(0);
    // Emptying the table may report a selection change while the old row
    // still exists; nothing of the old images stays selected.
    selectedImage = QTableWidgetItem();
    ui->log->clear();
    ui->hexView->clear();

    lastDir = QFileInfo(paths.first()).absolutePath();
    settings.setValue(QStringLiteral("malvore/lastDir"), lastDir);

    bool first = true;
    for (const QString &path : paths) {
        const LoadResult result = session->load(path);
        if (result.status != LoadResult::Status::Accepted)
            continue;
        const QTableWidgetItem *map = addImageRow(result.row);
        if (first) {
            selectedImage = *map;
            first = false;
        }
    }
    if (ui->dskList->rowCount() > 0)
        ui->dskList->setCurrentCell(0, 0);
}

QTableWidgetItem *MainWindow::addImageRow(const ImageRow &image)
{
    // Rows filled while the user has sorted the table would move as soon as
    // their sort column is set; filling with sorting off keeps the six cells
    // of one image together.
    const bool sorting = ui->dskList->isSortingEnabled();
    ui->dskList->setSortingEnabled(false);

    const int row = ui->dskList->rowCount();
    ui->dskList->insertRow(row);
    ui->dskList->setItem(row, 0, new QTableWidgetItem(image.name));
    ui->dskList->setItem(row, 1, numberItem(image.tracks));
    ui->dskList->setItem(row, 2, numberItem(image.sides));
    ui->dskList->setItem(row, 4, numberItem(image.badSectors));

    auto *map = new QTableWidgetItem;
    map->setData(Qt::DecorationRole, QPixmap::fromImage(mapPicture(image)));
    map->setData(SectorDataRole, image.data);
    map->setData(SectorMapRole, image.map);
    ImageRow values = image;
    values.data.clear();
    values.map.clear();
    map->setData(ImageRowRole, QVariant::fromValue(values));
    ui->dskList->setItem(row, mapColumn, map);
    ui->dskList->setItem(row, 5, new QTableWidgetItem(formatText(image.format)));

    ui->dskList->setSortingEnabled(sorting);
    return map;
}

void MainWindow::onSelectionChange()
{
    const QTableWidgetItem *map = ui->dskList->item(ui->dskList->currentRow(), mapColumn);
    if (!map) {
        // No current row (the table was emptied): nothing to show, and the
        // log stays in front so that the load messages can be read.
        selectedImage = QTableWidgetItem();
        return;
    }
    selectedImage = *map;
    // Switching away from the log fills the page through its signal; on
    // another page the page is filled here. Either way, once.
    if (ui->toolBox->currentIndex() == 0)
        ui->toolBox->setCurrentIndex(1);
    else
        showSelectedPage();
}

void MainWindow::on_toolBox_currentChanged(int index)
{
    currentPage = index;
    showSelectedPage();
}

void MainWindow::showSelectedPage()
{
    const int index = currentPage;
    if (index == 1) {
        updateHexView();
    } else if (index == 2) {
        updateGfxView(0, false);
        ui->gfxShift->setValue(0);
    }
}

void MainWindow::on_action_Save_triggered()
{
    QList<int> rows;
    for (int row = 0; row < ui->dskList->rowCount(); ++row) {
        const QTableWidgetItem *name = ui->dskList->item(row, 0);
        if (name && name->isSelected())
            rows.append(row);
    }
    ui->toolBox->setCurrentIndex(0);
    session->startRun();
    session->beginConversion(rows.size());
    QVector<LogEntry::WriteFailure> failures;
    for (int row : rows)
        failures += convertImage(row).failures;
    if (!failures.isEmpty())
        reportWriteFailures(failures);
}

void MainWindow::reportWriteFailures(const QVector<LogEntry::WriteFailure> &failures)
{
    // Not modal to the program: the log stays readable behind it, and a
    // Save All over many images is not held up.
    auto *box = new QMessageBox(QMessageBox::Warning, tr("Not everything was saved"),
                                tr("%n output(s) could not be written.", nullptr, failures.size()), QMessageBox::Ok,
                                this);
    box->setObjectName(QStringLiteral("writeFailures"));
    box->setInformativeText(tr("The first: %1\n%2").arg(failures.first().path, failures.first().reason));
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->open();
}

void MainWindow::on_actionSave_All_triggered()
{
    ui->dskList->selectAll();
    on_action_Save_triggered();
}

ConversionReport MainWindow::convertImage(int row)
{
    const ImageRow image = imageRowAt(row);
    if (image.name.isNull() && image.map.isNull())
        return ConversionReport();
    return session->convert(image, outputRoot);
}

ImageRow MainWindow::imageRowAt(int row) const
{
    const QTableWidgetItem *map = ui->dskList->item(row, mapColumn);
    if (!map)
        return ImageRow();
    ImageRow image = map->data(ImageRowRole).value<ImageRow>();
    image.data = map->data(SectorDataRole).toByteArray();
    image.map = map->data(SectorMapRole).toByteArray();
    return image;
}

void MainWindow::updateHexView()
{
    fillHexView(ui->hexView, selectedImage.data(SectorDataRole).toByteArray(),
                selectedImage.data(SectorMapRole).toByteArray());
}

void MainWindow::updateGfxView(int shift, bool keep)
{
    const QByteArray data = selectedImage.data(SectorDataRole).toByteArray();
    if (data.isEmpty())
        return;
    auto *picture = new GfxPictureItem(gfxCells(data, shift));
    // A picture-only redraw before any scene exists draws the whole scene.
    if (keep && scene) {
        const int scroll = ui->gfxView->verticalScrollBar()->value();
        delete pixmapItem;
        scene->addItem(picture);
        pixmapItem = picture;
        ui->gfxView->verticalScrollBar()->setValue(scroll);
        return;
    }
    delete scene;
    scene = new QGraphicsScene;
    scene->addItem(picture);
    pixmapItem = picture;
    scene->addItem(new GfxLabelsItem(picture->pixelRows() / 8, spectrumFont));
    ui->gfxView->setScene(scene);
    ui->gfxView->show();
    qDebug() << "gfxView scene" << scene->itemsBoundingRect();
    ui->gfxView->verticalScrollBar()->setValue(0);
}

void MainWindow::on_gfxShift_valueChanged(int value)
{
    ui->gfxValue->setText(QStringLiteral(" %1").arg(value));
    if (sliderPressed)
        pendingShift = value;
    else
        updateGfxView(value, true);
}

void MainWindow::on_gfxShift_sliderReleased()
{
    sliderPressed = false;
    if (pendingShift >= 0) {
        updateGfxView(pendingShift, true);
        pendingShift = -1;
    }
}

void MainWindow::on_gfxShift_sliderPressed()
{
    sliderPressed = true;
}

void MainWindow::dragEnterEvent(QDragEnterEvent *event)
{
    if (event->mimeData()->hasUrls())
        event->acceptProposedAction();
}

void MainWindow::dropEvent(QDropEvent *event)
{
    QStringList paths;
    for (const QUrl &url : event->mimeData()->urls()) {
        if (url.isLocalFile())
            paths.append(url.toLocalFile());
    }
    if (paths.isEmpty())
        return;
    event->acceptProposedAction();
    openImages(paths);
}
