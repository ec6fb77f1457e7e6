#include "mainwindow.h"

#include "catalogrepaircontroller.h"
#include "ui_mainwindow.h"

#include "disk/geometry.h"
#include "logrender.h"
#include "rescue/pathidentity.h"
#include "rescue/sectorowners.h"
#include "salvagecontroller.h"
#include "workbench.h"
#include "rescue/session.h"
#include "views/gfxview.h"
#include "views/hexview.h"
#include "views/mappicture.h"
#include "views/palette.h"
#include "views/sectormapview.h"

#include <QClipboard>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontDatabase>
#include <QGraphicsScene>
#include <QHeaderView>
#include <QLabel>
#include <QMessageBox>
#include <QMimeData>
#include <QProgressDialog>
#include <QPushButton>
#include <QRegularExpression>
#include <QScreen>
#include <QScrollBar>
#include <QStatusBar>
#include <QTextCursor>
#include <QToolButton>
#include <QUrl>

#include <sys/stat.h>

#include <algorithm>
#include <functional>
#include <limits>
#include <memory>

// The resources live in a static library: register them explicitly.
static Ui::MainWindow *initResourcesAndForm()
{
    Q_INIT_RESOURCE(resources);
    return new Ui::MainWindow;
}

namespace {
constexpr int mapColumn = 3;
constexpr int statusTimeout = 8000;
const QSize firstStartSize(1000, 700);
// A refusal box names this many files; the log has them all.
constexpr int refusalsListed = 10;

QTableWidgetItem *numberItem(int value)
{
    auto *item = new QTableWidgetItem;
    item->setData(Qt::DisplayRole, value);
    return item;
}

// The bad sectors of a row; a salvaged row counts its suspect sectors too,
// so that a row without missing sectors does not look whole.
QTableWidgetItem *badSectorsItem(const ImageRow &image)
{
    const int suspect = image.salvage ? image.sectors.countOf(SectorState::Suspect) : 0;
    if (suspect == 0)
        return numberItem(image.badSectors);
    auto *item = new QTableWidgetItem(MainWindow::tr("%1 + %2 suspect").arg(image.badSectors).arg(suspect));
    item->setData(Qt::UserRole, image.badSectors + suspect);
    return item;
}

ImageRow rowOfMapItem(const QTableWidgetItem &map)
{
    return map.data(MainWindow::ImageRowRole).value<ImageRow>();
}

// The reasons the readers give for refusing a file, as the log words them:
// the window shows them in the user's language, the log as they are.
const char *const refusalReasons[] = {
    QT_TRANSLATE_NOOP("MainWindow", "Unknown file format."),
    QT_TRANSLATE_NOOP("MainWindow", "File too large for a disk image."),
    QT_TRANSLATE_NOOP("MainWindow", "CPM disks are not supported"),
    QT_TRANSLATE_NOOP("MainWindow", "Not a TOS disk : more than 2 sides"),
    QT_TRANSLATE_NOOP("MainWindow", "Not a TOS disk : one side and more than 42 tracks..."),
    QT_TRANSLATE_NOOP("MainWindow", "Not a TOS disk : track size != 4096"),
    QT_TRANSLATE_NOOP("MainWindow", "Not a TOS disk : found track > 4096B"),
    QT_TRANSLATE_NOOP("MainWindow", "Not a TOS disk : no MFM sector found in the flux"),
};
const char *const irregularKinds[] = {
    QT_TRANSLATE_NOOP("MainWindow", "a folder"),
    QT_TRANSLATE_NOOP("MainWindow", "a FIFO"),
    QT_TRANSLATE_NOOP("MainWindow", "a socket"),
    QT_TRANSLATE_NOOP("MainWindow", "a device"),
};

// A file by what it is, not by how it is named: its device and inode,
// links followed (see sameFile).
using FileIdentity = QPair<quint64, quint64>;

bool fileIdentity(const QString &path, FileIdentity &identity)
{
    struct stat status;
    if (::stat(nativePath(path).constData(), &status) != 0)
        return false;
    identity = {quint64(status.st_dev), quint64(status.st_ino)};
    return true;
}

QString refusalText(const QString &reason)
{
    for (const char *known : refusalReasons) {
        if (reason == QLatin1String(known))
            return MainWindow::tr(known);
    }
    static const QRegularExpression irregular(QStringLiteral("^Not a regular file \\((.*)\\); not read\\.$"));
    const QRegularExpressionMatch match = irregular.match(reason);
    if (!match.hasMatch())
        return reason;
    QString kind = match.captured(1);
    for (const char *known : irregularKinds) {
        if (kind == QLatin1String(known))
            kind = MainWindow::tr(known);
    }
    return MainWindow::tr("Not a regular file (%1); not read.").arg(kind);
}

// A number as typed into the Go to field: decimal, or hexadecimal with
// 0x, $ or # in front, or hexadecimal throughout when hex is set.
bool parseNumber(QString text, bool hex, qint64 &value)
{
    text = text.trimmed();
    for (const QString &prefix : {QStringLiteral("0x"), QStringLiteral("0X"), QStringLiteral("$"), QStringLiteral("#")}) {
        if (text.startsWith(prefix)) {
            text = text.mid(prefix.size());
            hex = true;
            break;
        }
    }
    bool ok = false;
    value = text.toLongLong(&ok, hex ? 16 : 10);
    return ok && value >= 0;
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
    ui->toolBox->setCurrentIndex(LogPage);

    const QByteArray geometry = settings.value(QStringLiteral("gui/geometry")).toByteArray();
    if (geometry.isEmpty() || !restoreGeometry(geometry))
        showFirstStartSize();
    restoreState(settings.value(QStringLiteral("gui/state")).toByteArray(), 0);
    if (!ui->splitter->restoreState(settings.value(QStringLiteral("gui/splitter")).toByteArray())) {
        // First start: the pages below get the larger part, the list room
        // for a handful of rows.
        const int height = this->height();
        ui->splitter->setSizes({height / 4, height * 3 / 4});
    }

    ui->dskList->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    ui->dskList->verticalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    // Delete removes images only while the list has the focus: in the Go to
    // field it deletes text.
    ui->actionRemove->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    ui->dskList->addAction(ui->actionRemove);

    QFontDatabase::addApplicationFont(QStringLiteral(":/ttf/SpectrumMedium.ttf"));
    // Small enough for a whole dump line (address, sixteen bytes and their
    // characters) in a window 1,000 pixels wide.
    spectrumFont = QFont(QStringLiteral("Spectrum"));
    spectrumFont.setPointSizeF(7.5);
    ui->hexView->setFont(spectrumFont);
    ui->previousDamagedButton->setDefaultAction(ui->actionPrevious_damaged);
    ui->nextDamagedButton->setDefaultAction(ui->actionNext_damaged);
    connect(ui->goToValue, &QLineEdit::returnPressed, this, &MainWindow::on_goToButton_clicked);
    // The views follow each other: a byte chosen in the dump or a sector of
    // the map is where the graphics view goes.
    ui->verticalLayout_3->addWidget(ui->hexView->findBar());
    ui->horizontalLayout_2->addWidget(ui->gfxView->goToBar());
    ui->gfxView->goToBar()->show();
    connect(ui->hexView, &HexView::positionChosen, ui->gfxView, &GfxView::showOffset);
    connect(ui->sectorMap, &SectorMapView::sectorChosen, this, [this](int logical) {
        if (!goToSector(logical))
            return;
        const qint64 offset = qint64(logical) * geometry::sectorSize;
        ui->hexView->showRange(offset, geometry::sectorSize);
        ui->gfxView->showOffset(offset);
    });

    lastDir = settings.value(QStringLiteral("malvore/lastDir"), QStringLiteral(".")).toString();
    outputChosen = settings.contains(QStringLiteral("malvore/outputDir"));
    outputRoot = settings.value(QStringLiteral("malvore/outputDir"), QStringLiteral(".")).toString();
    outputButton = new QToolButton(this);
    outputButton->setObjectName(QStringLiteral("outputFolderButton"));
    outputButton->setAutoRaise(true);
    outputButton->setToolButtonStyle(Qt::ToolButtonTextOnly);
    connect(outputButton, &QToolButton::clicked, ui->actionOutput_folder, &QAction::trigger);
    statusBar()->addPermanentWidget(outputButton);
    showOutputFolder();
    fillRecentMenu();

    connect(ui->dskList, &QTableWidget::itemSelectionChanged, this, &MainWindow::onSelectionChange);
    // Save and Save All have nothing to do while the list is empty.
    QAbstractItemModel *rows = ui->dskList->model();
    connect(rows, &QAbstractItemModel::rowsInserted, this, &MainWindow::updateSaveActions);
    connect(rows, &QAbstractItemModel::rowsRemoved, this, &MainWindow::updateSaveActions);
    connect(rows, &QAbstractItemModel::modelReset, this, &MainWindow::updateSaveActions);
    updateSaveActions();

    logEntry(LogEntry::info().strong(QStringLiteral("TOS Malvore")).text(QStringLiteral(" ver. " MALVORE_VERSION)));

    session = new RescueSession([this](const LogEntry &entry) { logEntry(entry); }, this);
    salvageCommands = new SalvageController(this, ui->menuRescue, ui->dskList, session);
    new CatalogRepairController(this, ui->menuRescue, ui->dskList, session);
    // The Files page: the selected image's files, their previews and which Save writes.
    new Workbench(this, session);
    // Salvage mode changes what is rescued and is remembered between
    // sessions: while it is on, the status bar says so.
    salvageIndicator = new QLabel(tr("Salvage mode"), this);
    salvageIndicator->setObjectName(QStringLiteral("salvageIndicator"));
    salvageIndicator->setToolTip(tr("Weak sectors are read by the majority of their copies and sectors with data "
                                    "errors are suspect. Rescue > Salvage damaged sectors turns it off."));
    statusBar()->insertPermanentWidget(0, salvageIndicator);
    QAction *salvageMode = salvageCommands->salvageModeAction();
    salvageIndicator->setVisible(salvageMode->isChecked());
    connect(salvageMode, &QAction::toggled, salvageIndicator, &QWidget::setVisible);

    setAcceptDrops(true);
}

MainWindow::~MainWindow()
{
    // The list's model outlives the form while the window's children go.
    disconnect(ui->dskList->model(), nullptr, this, nullptr);
    delete ui;
}

void MainWindow::showFirstStartSize()
{
    // Large enough for every column title of the list, within the screen.
    const QScreen *screen = QGuiApplication::primaryScreen();
    if (!screen) {
        resize(firstStartSize);
        return;
    }
    const QRect available = screen->availableGeometry();
    const QSize size = firstStartSize.boundedTo(available.size()).expandedTo(minimumSize());
    resize(size);
    move(available.center() - QPoint(size.width() / 2, size.height() / 2));
}

void MainWindow::updateSaveActions()
{
    const bool listed = ui->dskList->rowCount() > 0;
    ui->action_Save->setEnabled(listed);
    ui->actionSave_All->setEnabled(listed);
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
    QTextDocument *log = ui->log->document();
    // Where the entry's first block will start: append() adds a block to a
    // log that holds text, and fills the empty first one otherwise.
    const int start = log->isEmpty() ? 0 : log->characterCount();
    appendLog(logEntryHtml(entry));
    // The last mark ended where the log did: the append grew it; it ends
    // where its own entry ended.
    bool marksChanged = false;
    if (!logMarks.isEmpty() && logMarks.last().cursor.selectionEnd() != lastMarkEnd) {
        QTextCursor &cursor = logMarks.last().cursor;
        const int markStart = cursor.selectionStart();
        cursor.setPosition(markStart);
        cursor.setPosition(lastMarkEnd, QTextCursor::KeepAnchor);
        marksChanged = true;
    }
    // Warnings and errors (a write failure among them) stand out by the
    // colour of their text; information keeps the log's own. The colour lies
    // over the text as an extra selection, not in it: the log's document is
    // exactly what the entries' HTML makes, as the batch tool prints it.
    const QColor colour = logKindColour(entry.kind);
    if (colour.isValid()) {
        QTextEdit::ExtraSelection mark;
        mark.cursor = QTextCursor(log);
        mark.cursor.setPosition(start);
        mark.cursor.movePosition(QTextCursor::End, QTextCursor::KeepAnchor);
        mark.format.setForeground(colour);
        lastMarkEnd = mark.cursor.selectionEnd();
        logMarks.append(mark);
        marksChanged = true;
    }
    if (marksChanged)
        ui->log->setExtraSelections(logMarks);
}

bool MainWindow::event(QEvent *event)
{
    // The first key of a two-key shortcut does nothing to be seen: say what
    // completes Quit.
    if (event->type() == QEvent::ShortcutOverride) {
        const auto *key = static_cast<QKeyEvent *>(event);
        const QKeySequence quit = ui->action_Quit->shortcut();
        if (quit.count() > 1 && int(key->modifiers()) + key->key() == quit[0])
            statusBar()->showMessage(tr("Press %1 to quit").arg(QKeySequence(quit[1]).toString(QKeySequence::NativeText)),
                                     statusTimeout);
    }
    return QMainWindow::event(event);
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
                    tr("TOS Malvore %1\n"
                       "Rescues files from TOS floppy-disk images.\n"
                       "\n"
                       "(c) 2026 the TOS Malvore developers\n"
                       "Licence: GNU General Public License, version 3 or later (GPL-3.0-or-later)\n"
                       "https://kestrin.org/malvore\n"
                       "\n"
                       "Icons: drawn for this program, https://kestrin.org/malvore/icons")
                        .arg(QStringLiteral(MALVORE_VERSION)),
                    QMessageBox::Ok, nullptr, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint);
    box.setIconPixmap(QPixmap(QStringLiteral(":gfx/icon.png"))
                          .scaled(128, 128, Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
    setFocusProxy(&box);
    box.exec();
    setFocusProxy(nullptr);
}

QStringList MainWindow::chooseImages(const QString &caption)
{
    return QFileDialog::getOpenFileNames(this, caption, lastDir,
                                         tr("Disk images (*.dsk *.DSK *.edsk *.scp *.SCP)") + QStringLiteral(";;")
                                             + tr("All files (*)"));
}

void MainWindow::on_action_Open_triggered()
{
    const QStringList paths = chooseImages(tr("Open DSK files"));
    if (paths.isEmpty())
        return;
    openImages(paths);
}

void MainWindow::on_actionAdd_images_triggered()
{
    const QStringList paths = chooseImages(tr("Add DSK files"));
    if (paths.isEmpty())
        return;
    addImages(paths);
}

void MainWindow::clearList()
{
    ui->dskList->clearContents();
    ui->dskList->setRowCount(0);
    // Emptying the table may report a selection change while the old row
    // still exists; nothing of the old images stays selected.
    selectedImage = QTableWidgetItem();
    ui->hexView->clear();
    ui->sectorMap->clear();
    navigatedSector = -1;
}

void MainWindow::openImages(const QStringList &paths)
{
    if (paths.isEmpty())
        return;
    clearList();
    ui->log->clear();
    logMarks.clear();
    ui->log->setExtraSelections(logMarks);
    const QTableWidgetItem *first = loadImages(paths);
    if (first)
        selectedImage = *first;
    if (ui->dskList->rowCount() > 0)
        ui->dskList->setCurrentCell(0, 0);
}

void MainWindow::addImages(const QStringList &paths)
{
    if (paths.isEmpty())
        return;
    const QTableWidgetItem *first = loadImages(paths);
    if (first)
        ui->dskList->setCurrentCell(first->row(), 0);
}

QTableWidgetItem *MainWindow::loadImages(const QStringList &paths)
{
    lastDir = QFileInfo(paths.first()).absolutePath();
    settings.setValue(QStringLiteral("malvore/lastDir"), lastDir);

    QTableWidgetItem *first = nullptr;
    QTableWidgetItem *firstListed = nullptr;
    QStringList accepted;
    int alreadyListed = 0;
    QStringList used; // for the recent files: those accepted or already listed
    QVector<Refusal> refusals;
    // One file is one row, however it is named: the rows read from one
    // file, by the file's identity.
    QHash<FileIdentity, QTableWidgetItem *> rowsOfFiles;
    for (int row = 0; row < ui->dskList->rowCount(); ++row) {
        const QStringList sources = imageRowAt(row).sources;
        FileIdentity identity;
        if (sources.size() == 1 && fileIdentity(sources.first(), identity))
            rowsOfFiles.insert(identity, ui->dskList->item(row, mapColumn));
    }
    for (const QString &path : paths) {
        FileIdentity identity;
        const bool identified = fileIdentity(path, identity);
        if (QTableWidgetItem *listed = identified ? rowsOfFiles.value(identity) : nullptr) {
            logEntry(LogEntry::info().strong(QDir::toNativeSeparators(path)).text(
                QStringLiteral(" is already in the list; not added again")));
            if (!firstListed)
                firstListed = listed;
            ++alreadyListed;
            used.append(path);
            continue;
        }
        const LoadResult result = session->load(path);
        if (result.status != LoadResult::Status::Accepted) {
            QStringList reasons;
            for (const LogEntry &reason : result.reasons)
                reasons << refusalText(logEntryPlain(reason).simplified());
            reasons.removeAll(QString());
            const QString reason =
                reasons.isEmpty() ? tr("the file cannot be read") : reasons.join(QStringLiteral("; "));
            refusals.append({path, reason});
            statusBar()->showMessage(tr("Refused %1: %2").arg(QFileInfo(path).fileName(), reason), statusTimeout);
            continue;
        }
        QTableWidgetItem *map = addImageRow(result.row);
        if (session->options().salvage)
            map->setData(PhysicalDiskRole, QVariant::fromValue(result.physical));
        if (!first)
            first = map;
        if (identified)
            rowsOfFiles.insert(identity, map);
        accepted.append(path);
        used.append(path);
    }
    rememberRecentFiles(used);
    QStringList counts;
    if (!accepted.isEmpty())
        counts << tr("%n image(s) opened", nullptr, accepted.size());
    if (alreadyListed > 0)
        counts << tr("%n already in the list", nullptr, alreadyListed);
    if (!refusals.isEmpty())
        reportRefusals(refusals);
    else if (!counts.isEmpty())
        statusBar()->showMessage(counts.join(QStringLiteral("; ")), statusTimeout);
    return first ? first : firstListed;
}

void MainWindow::reportRefusals(const QVector<Refusal> &refusals)
{
    // Not modal to the program, like the write failures: the images that
    // were taken can be looked at meanwhile.
    QStringList lines;
    for (int i = 0; i < refusals.size() && i < refusalsListed; ++i)
        lines << tr("%1: %2").arg(QDir::toNativeSeparators(refusals.at(i).path), refusals.at(i).reason);
    if (refusals.size() > refusalsListed)
        lines << tr("... and %n more; the log names them all.", nullptr, refusals.size() - refusalsListed);
    auto *box = new QMessageBox(QMessageBox::Warning, tr("Files not opened"),
                                tr("%n file(s) could not be opened.", nullptr, refusals.size()), QMessageBox::Ok,
                                this);
    box->setObjectName(QStringLiteral("refusedFiles"));
    box->setInformativeText(lines.join(QLatin1Char('\n')));
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->open();
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
    ui->dskList->setItem(row, 4, badSectorsItem(image));

    auto *map = new QTableWidgetItem;
    map->setData(Qt::DecorationRole, QPixmap::fromImage(mapPicture(image)));
    // The row itself, and for whoever reads the cell by role its bytes and
    // read map; the bytes are shared, not copied.
    map->setData(SectorDataRole, image.sectors.bytes());
    map->setData(SectorMapRole, image.sectors.statusMap());
    map->setData(ImageRowRole, QVariant::fromValue(image));
    ui->dskList->setItem(row, mapColumn, map);
    ui->dskList->setItem(row, 5, new QTableWidgetItem(formatText(image.format)));
    // Rows of images with one name are told apart by their files.
    QStringList files;
    for (const QString &source : image.sources)
        files << QDir::toNativeSeparators(QFileInfo(source).absoluteFilePath());
    for (int column = 0; column < ui->dskList->columnCount(); ++column)
        ui->dskList->item(row, column)->setToolTip(files.join(QLatin1Char('\n')));

    ui->dskList->setSortingEnabled(sorting);
    return map;
}

void MainWindow::on_actionRemove_triggered()
{
    QList<int> rows;
    for (const QModelIndex &index : ui->dskList->selectionModel()->selectedRows())
        rows.append(index.row());
    if (rows.isEmpty())
        return;
    std::sort(rows.begin(), rows.end(), std::greater<int>());
    for (int row : rows)
        ui->dskList->removeRow(row);
    if (ui->dskList->rowCount() == 0)
        clearList();
    statusBar()->showMessage(tr("%n image(s) removed from the list", nullptr, rows.size()), statusTimeout);
}

void MainWindow::on_actionClear_triggered()
{
    clearList();
    statusBar()->showMessage(tr("The list is empty"), statusTimeout);
}

void MainWindow::rememberRecentFiles(const QStringList &paths)
{
    if (paths.isEmpty())
        return;
    QStringList recent = recentFiles();
    for (auto path = paths.crbegin(); path != paths.crend(); ++path) {
        const QString absolute = QFileInfo(*path).absoluteFilePath();
        recent.removeAll(absolute);
        recent.prepend(absolute);
    }
    settings.setValue(QStringLiteral("malvore/recentFiles"), QVariant(recent.mid(0, recentFileCount)));
    fillRecentMenu();
}

QStringList MainWindow::recentFiles() const
{
    return settings.value(QStringLiteral("malvore/recentFiles")).toStringList().mid(0, recentFileCount);
}

void MainWindow::fillRecentMenu()
{
    QMenu *menu = ui->menuRecent;
    menu->clear();
    const QStringList recent = recentFiles();
    for (int i = 0; i < recent.size(); ++i) {
        const QString path = recent.at(i);
        // Alt and a digit for each: &1 to &9, then 1&0.
        const QString number = i < 9 ? QStringLiteral("&%1").arg(i + 1) : QStringLiteral("1&0");
        QAction *action = menu->addAction(number + QLatin1Char(' ') + QFileInfo(path).fileName());
        action->setToolTip(QDir::toNativeSeparators(path));
        action->setStatusTip(QDir::toNativeSeparators(path));
        connect(action, &QAction::triggered, this, [this, path] { openImages({path}); });
    }
    if (recent.isEmpty()) {
        menu->addAction(tr("No recent files"))->setEnabled(false);
        return;
    }
    menu->addSeparator();
    QAction *clear = menu->addAction(tr("&Clear recent files"));
    connect(clear, &QAction::triggered, this, [this] {
        settings.remove(QStringLiteral("malvore/recentFiles"));
        fillRecentMenu();
    });
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
    navigatedSector = -1;
    ui->gfxView->showOffset(0); // another image starts at its top
    // Switching away from the log fills the page through its signal; on
    // another page the page is filled here. Either way, once.
    if (ui->toolBox->currentIndex() == LogPage)
        ui->toolBox->setCurrentIndex(HexPage);
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
    if (index == HexPage) {
        updateHexView();
    } else if (index == GfxPage) {
        updateGfxView(0, false);
        ui->gfxShift->setValue(0);
    } else if (index == SectorMapPage) {
        updateSectorMap();
    }
}

namespace {
// The rows a Save converts, taken from the table before it starts: the
// pool's threads never touch a widget.
class TableRows : public RowSource
{
public:
    explicit TableRows(QVector<ImageRow> rows)
        : rows(std::move(rows))
    {
    }
    int count() const override { return rows.size(); }
    LoadResult fetch(int index) const override
    {
        LoadResult result;
        result.status = LoadResult::Status::Accepted;
        result.row = rows.at(index);
        return result;
    }

private:
    const QVector<ImageRow> rows;
};
} // namespace

void MainWindow::on_action_Save_triggered()
{
    // Off while the list is empty (QAction::trigger does not ask).
    if (ui->dskList->rowCount() == 0)
        return;
    QVector<ImageRow> rows;
    for (int row = 0; row < ui->dskList->rowCount(); ++row) {
        const QTableWidgetItem *name = ui->dskList->item(row, 0);
        if (name && name->isSelected())
            rows.append(imageRowAt(row));
    }
    if (!rows.isEmpty() && !chooseFirstOutputFolder())
        return;
    ui->toolBox->setCurrentIndex(LogPage);
    session->startRun();

    // Many images take a while: their progress shows, the window stays
    // responsive, and the user may stop the images not yet begun.
    std::unique_ptr<QProgressDialog> progress;
    if (rows.size() > progressAboveImages) {
        progress.reset(new QProgressDialog(tr("Saving the files of %n image(s)...", nullptr, rows.size()),
                                           tr("Cancel"), 0, rows.size(), this));
        progress->setObjectName(QStringLiteral("saveProgress"));
        progress->setWindowModality(Qt::WindowModal);
        progress->setMinimumDuration(0);
        progress->setAutoReset(false);
    }
    SaveOptions options;
    options.outputRoot = outputRoot;
    options.jobs = saveJobs;
    if (progress) {
        options.progress = [&progress](int done, int) {
            progress->setValue(done);
            QCoreApplication::processEvents();
            return !progress->wasCanceled();
        };
    }
    const SaveSummary summary = session->save(TableRows(rows), options);
    if (progress) {
        if (summary.images < rows.size())
            logEntry(LogEntry::warning().text(
                QStringLiteral("Save cancelled: %1 of %2 image(s) converted").arg(summary.images).arg(rows.size())));
        progress->setValue(rows.size());
    }
    reportSaveSummary(summary);
    if (!summary.failures.isEmpty())
        reportWriteFailures(summary.failures);
}

void MainWindow::reportSaveSummary(const SaveSummary &saved)
{
    const QString folder = outputFolder();
    // Files whose bytes are not proven are counted too, where there are any.
    QString unproven;
    if (saved.suspect > 0)
        unproven += QStringLiteral("%1 suspect, ").arg(saved.suspect);
    if (saved.unverified > 0)
        unproven += QStringLiteral("%1 unverified, ").arg(saved.unverified);
    LogEntry summary = LogEntry::info().text(QStringLiteral("Rescued %1 file(s), %2 damaged, %3from %4 image(s) into ")
                                                 .arg(saved.files)
                                                 .arg(saved.damaged)
                                                 .arg(unproven)
                                                 .arg(saved.images));
    summary.strong(folder);
    if (saved.leftOut > 0)
        summary.text(QStringLiteral("; %1 file(s) left out by choice").arg(saved.leftOut));
    if (!saved.failures.isEmpty())
        summary.text(QStringLiteral("; %1 output(s) could not be written").arg(saved.failures.size()));
    logEntry(summary);
    const QString shown = QDir::toNativeSeparators(folder);
    // The files unchecked on the Files page.
    const QString leftOut = saved.leftOut > 0 ? tr("; %n left out by choice", nullptr, saved.leftOut) : QString();
    if (saved.suspect + saved.unverified > 0)
        statusBar()->showMessage(tr("%n file(s) rescued into %1, %2 damaged, %3 suspect, %4 unverified", nullptr,
                                    saved.files)
                                     .arg(shown)
                                     .arg(saved.damaged)
                                     .arg(saved.suspect)
                                     .arg(saved.unverified)
                                     + leftOut,
                                 0);
    else
        statusBar()->showMessage(tr("%n file(s) rescued into %1, %2 damaged", nullptr, saved.files)
                                     .arg(shown)
                                     .arg(saved.damaged)
                                     + leftOut,
                                 0);
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

void MainWindow::setOutputRoot(const QString &root)
{
    outputRoot = root;
    outputChosen = true;
    showOutputFolder();
}

bool MainWindow::chooseFirstOutputFolder()
{
    if (outputChosen)
        return true;
    // Started from / or from a source tree, the working directory is no
    // place to find rescues in by surprise: the first Save asks.
    const QString folder = QFileDialog::getExistingDirectory(this, tr("Where should the rescued files go?"),
                                                             QDir::currentPath(), QFileDialog::ShowDirsOnly);
    if (folder.isEmpty()) {
        statusBar()->showMessage(tr("Nothing saved: no output folder chosen"), statusTimeout);
        return false;
    }
    useOutputFolder(folder);
    return true;
}

void MainWindow::useOutputFolder(const QString &folder)
{
    setOutputRoot(folder);
    settings.setValue(QStringLiteral("malvore/outputDir"), outputFolder());
}

QString MainWindow::outputFolder() const
{
    return QDir(outputRoot).absolutePath();
}

void MainWindow::showOutputFolder()
{
    const QString folder = QDir::toNativeSeparators(outputFolder());
    outputButton->setText(tr("Output: %1").arg(folder));
    outputButton->setToolTip(tr("Rescued files go into %1. Click to choose another folder.").arg(folder));
}

void MainWindow::on_actionOutput_folder_triggered()
{
    const QString folder =
        QFileDialog::getExistingDirectory(this, tr("Output folder"), outputFolder(), QFileDialog::ShowDirsOnly);
    if (folder.isEmpty())
        return;
    useOutputFolder(folder);
    statusBar()->showMessage(tr("Rescued files go into %1").arg(QDir::toNativeSeparators(outputFolder())),
                             statusTimeout);
}

void MainWindow::on_actionOpen_output_folder_triggered()
{
    const QString folder = outputFolder();
    if (!QFileInfo(folder).isDir()) {
        statusBar()->showMessage(
            tr("%1 does not exist yet; Save makes it.").arg(QDir::toNativeSeparators(folder)), statusTimeout);
        return;
    }
    if (QDesktopServices::openUrl(QUrl::fromLocalFile(folder)))
        return;
    // Without a file manager the path is what the user can take elsewhere.
    const QString shown = QDir::toNativeSeparators(folder);
    statusBar()->showMessage(tr("No program could show %1").arg(shown), statusTimeout);
    auto *box = new QMessageBox(QMessageBox::Information, tr("Open output folder"),
                                tr("No program could show the output folder %1.").arg(shown), QMessageBox::Close,
                                this);
    box->setObjectName(QStringLiteral("noFileManager"));
    box->setInformativeText(tr("Copy its path to open it in another program."));
    QPushButton *copy = box->addButton(tr("&Copy path"), QMessageBox::AcceptRole);
    copy->setObjectName(QStringLiteral("copyPath"));
    box->setDefaultButton(copy);
    connect(copy, &QPushButton::clicked, this, [this, shown] {
        QGuiApplication::clipboard()->setText(shown);
        statusBar()->showMessage(tr("Copied %1").arg(shown), statusTimeout);
    });
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->open();
}

ConversionReport MainWindow::convertImage(int row)
{
    const ImageRow image = imageRowAt(row);
    if (image.name.isNull() && image.sectors.isEmpty())
        return ConversionReport();
    return session->convert(image, outputRoot);
}

ImageRow MainWindow::imageRowAt(int row) const
{
    const QTableWidgetItem *map = ui->dskList->item(row, mapColumn);
    if (!map)
        return ImageRow();
    return rowOfMapItem(*map);
}

ImageRow MainWindow::selectedRow() const
{
    return rowOfMapItem(selectedImage);
}

void MainWindow::updateHexView()
{
    fillHexView(ui->hexView, selectedImage.data(SectorDataRole).toByteArray(),
                selectedImage.data(SectorMapRole).toByteArray(), sectorStates(selectedRow()));
}

void MainWindow::updateSectorMap()
{
    const ImageRow row = selectedRow();
    ui->sectorMap->setImage(row, sectorOwners(row));
}

void MainWindow::on_actionSector_map_triggered()
{
    ui->toolBox->setCurrentIndex(SectorMapPage);
}

bool MainWindow::scrollHexView(int sector, int line)
{
    const int sectors = selectedImage.data(SectorMapRole).toByteArray().size();
    if (sector < 0 || sector >= sectors)
        return false;
    // Showing the page fills the view for the selected image first.
    ui->toolBox->setCurrentIndex(HexPage);
    ui->hexView->scrollToLine(line);
    navigatedSector = sector;
    navigatedScroll = ui->hexView->verticalScrollBar()->value();
    ui->sectorMap->setMarkedSector(sector);
    const ImageRow row = selectedRow();
    const SectorPlace place = sectorPlace(sector, row.tracks, row.sides, row.format);
    statusBar()->showMessage(tr("Sector %1: track %2, side %3, sector id %4")
                                 .arg(sector)
                                 .arg(place.track)
                                 .arg(place.side)
                                 .arg(place.sectorId),
                             statusTimeout);
    return true;
}

bool MainWindow::goToSector(int logical)
{
    return scrollHexView(logical, logical * HexView::linesPerSector);
}

bool MainWindow::goToOffset(qint64 offset)
{
    constexpr int bytesPerLine = 16;
    const qint64 sector = offset / geometry::sectorSize;
    if (offset < 0 || sector > std::numeric_limits<int>::max() / HexView::linesPerSector)
        return false;
    return scrollHexView(int(sector), int(sector) * HexView::linesPerSector
                                          + int(offset % geometry::sectorSize) / bytesPerLine);
}

int MainWindow::currentHexSector() const
{
    if (ui->hexView->lineCount() == 0)
        return -1;
    if (navigatedSector >= 0 && ui->hexView->verticalScrollBar()->value() == navigatedScroll)
        return navigatedSector;
    return ui->hexView->firstVisibleLine() / HexView::linesPerSector;
}

int MainWindow::goToDamagedSector(int direction)
{
    const ImageRow row = selectedRow();
    const int count = row.sectorCount();
    if (count == 0)
        return -1;
    const int from = currentPage == HexPage ? currentHexSector() : (direction > 0 ? -1 : count);
    for (int sector = from + direction; sector >= 0 && sector < count; sector += direction) {
        if (!isClean(row.state(sector))) {
            goToSector(sector);
            return sector;
        }
    }
    statusBar()->showMessage(direction > 0 ? tr("No missing or suspect sector after this one")
                                           : tr("No missing or suspect sector before this one"),
                             statusTimeout);
    return -1;
}

void MainWindow::on_actionNext_damaged_triggered()
{
    goToDamagedSector(1);
}

void MainWindow::on_actionPrevious_damaged_triggered()
{
    goToDamagedSector(-1);
}

void MainWindow::on_actionGo_to_triggered()
{
    ui->toolBox->setCurrentIndex(HexPage);
    ui->goToValue->setFocus(Qt::ShortcutFocusReason);
    ui->goToValue->selectAll();
}

void MainWindow::on_goToButton_clicked()
{
    const bool offset = ui->goToKind->currentIndex() == 1;
    qint64 value = 0;
    if (!parseNumber(ui->goToValue->text(), offset, value)) {
        statusBar()->showMessage(offset ? tr("Not an offset: %1").arg(ui->goToValue->text())
                                        : tr("Not a sector number: %1").arg(ui->goToValue->text()),
                                 statusTimeout);
        return;
    }
    if (offset && !goToOffset(value))
        statusBar()->showMessage(tr("The image has no offset %1").arg(value, 5, 16, QLatin1Char('0')), statusTimeout);
    else if (!offset && (value > std::numeric_limits<int>::max() || !goToSector(int(value))))
        statusBar()->showMessage(tr("The image has no sector %1").arg(value), statusTimeout);
}

void MainWindow::updateGfxView(int shift, bool keep)
{
    const QByteArray data = selectedImage.data(SectorDataRole).toByteArray();
    if (data.isEmpty())
        return;
    ui->gfxView->draw(data, shift, keep, spectrumFont);
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
    // Files dragged out of the Files page are no images to add.
    if (event->mimeData()->hasUrls() && !event->source())
        event->acceptProposedAction();
}

void MainWindow::dropEvent(QDropEvent *event)
{
    QStringList paths;
    for (const QUrl &url : event->mimeData()->urls()) {
        if (!url.isLocalFile())
            continue;
        const QString path = url.toLocalFile();
        if (QFileInfo(path).isDir())
            paths += imagesInFolder(path);
        else
            paths.append(path);
    }
    event->acceptProposedAction();
    addImages(paths);
}

QStringList MainWindow::imagesInFolder(const QString &folder)
{
    // The folder's own images, by their names; its subfolders are not
    // looked into.
    const QFileInfoList found = QDir(folder).entryInfoList(imageNamePatterns(), QDir::Files, QDir::Name | QDir::IgnoreCase);
    QStringList paths;
    for (const QFileInfo &file : found)
        paths << file.absoluteFilePath();
    logEntry(LogEntry::info()
                 .text(QStringLiteral("Folder "))
                 .strong(QDir::toNativeSeparators(QDir(folder).absolutePath()))
                 .text(QStringLiteral(": %1 disk image(s)").arg(paths.size())));
    statusBar()->showMessage(tr("%n disk image(s) in %1", nullptr, paths.size()).arg(QDir::toNativeSeparators(folder)),
                             statusTimeout);
    return paths;
}

QStringList MainWindow::imageNamePatterns()
{
    return {QStringLiteral("*.dsk"), QStringLiteral("*.edsk"), QStringLiteral("*.scp")};
}

void MainWindow::setSalvage(bool on)
{
    salvageCommands->setSalvage(on);
}

bool MainWindow::salvaging() const
{
    return salvageCommands->salvaging();
}

bool MainWindow::mergeSelectedRows()
{
    return salvageCommands->mergeSelectedRows();
}

bool MainWindow::saveBestImage(const QString &path)
{
    return salvageCommands->saveBestImage(path);
}

bool MainWindow::exportSectorReport(const QString &folder)
{
    return salvageCommands->exportSectorReport(folder);
}
