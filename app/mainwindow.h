#pragma once

#include <QFont>
#include <QMainWindow>
#include <QSettings>
#include <QStringList>
#include <QTableWidgetItem>
#include <QTextEdit>

#include "disk/logentry.h"
#include "imagelist/imagerow.h"
#include "rescue/conversion.h"

class QGraphicsScene;
class QGraphicsItem;
class QToolButton;
class QLabel;
class RescueSession;
struct SaveSummary;
class SalvageController;

namespace Ui {
class MainWindow;
}


class MainWindow : public QMainWindow
{
    Q_OBJECT

public:
    // Item data roles of the table's "Map" cell: the row's sector data and
    // status map, and the rest of its ImageRow (name, geometry, format).
    enum ImageDataRole {
        SectorDataRole = Qt::UserRole,
        SectorMapRole = Qt::UserRole + 1,
        ImageRowRole = Qt::UserRole + 2,
        PhysicalDiskRole = Qt::UserRole + 3, // salvaged and merged rows: the disk by place
    };

    // The pages of the tool box, in order.
    enum ToolPage { LogPage = 0, HexPage = 1, GfxPage = 2, SectorMapPage = 3 };

    // At most this many files in the Open recent menu.
    static constexpr int recentFileCount = 10;
    // A Save of more images than this shows its progress and can be cancelled.
    static constexpr int progressAboveImages = 3;

    explicit MainWindow(QWidget *parent = nullptr);
    ~MainWindow() override;

    // The Open command once its files are chosen (by the dialog, the
    // command line, the recent files or a test): empties the list and the
    // log, loads each file and selects the first accepted image.
    void openImages(const QStringList &paths);
    // The Add images command once its files are chosen, and a drop: loads
    // each file and appends the accepted ones to the list, whose rows stay
    // whatever is refused; selects the first image added.
    void addImages(const QStringList &paths);
    // Converts one table row into its image folder below the output root.
    ConversionReport convertImage(int row);
    // Threads a Save converts on; 0: one per core.
    void setSaveJobs(int jobs) { saveJobs = jobs; }

    void updateHexView();
    void updateGfxView(int shift, bool keep);
    void updateSectorMap();

    // Where Save writes; the current working directory by default. Not
    // remembered: the Output folder command is. Once set, the first Save
    // no longer asks (without it and the remembered folder, it does).
    void setOutputRoot(const QString &root);
    // The Output folder command once its folder is chosen: used from now on
    // and remembered for the next start.
    void useOutputFolder(const QString &folder);
    // The output root as an absolute path.
    QString outputFolder() const;

    // Hex view navigation: each shows the HexView page scrolled to the
    // sector or offset and tells whether there was one.
    bool goToSector(int logical);
    bool goToOffset(qint64 offset);
    // The next (direction 1) or previous (-1) missing or suspect sector
    // after the one in view; -1 when there is none.
    int goToDamagedSector(int direction);
    // The sector the hex view shows at its top, or the one last gone to.
    int currentHexSector() const;

    QStringList recentFiles() const;

    // Salvage mode for what is read from now on; the listed images are
    // read again in the new mode. Remembered in the settings.
    void setSalvage(bool on);
    bool salvaging() const;
    // Merges the selected rows (two or more reads of one geometry) into a
    // new row; false, with a status message, when it cannot.
    bool mergeSelectedRows();
    // The selected row's salvaged or merged disk as an Extended DSK.
    bool saveBestImage(const QString &path);
    // NAME.sectors.csv and NAME.files.csv of the selected row into folder.
    bool exportSectorReport(const QString &folder);

public slots:
    void message(const QString &html);
    void logEntry(const LogEntry &entry);

private slots:
    void on_action_Save_triggered();
    void on_actionAbout_triggered();
    void on_action_Open_triggered();
    void on_actionAdd_images_triggered();
    void on_actionRemove_triggered();
    void on_actionClear_triggered();
    void on_actionOutput_folder_triggered();
    void on_actionOpen_output_folder_triggered();
    void on_actionGo_to_triggered();
    void on_actionNext_damaged_triggered();
    void on_actionPrevious_damaged_triggered();
    void on_actionSector_map_triggered();
    void on_goToButton_clicked();
    void onSelectionChange();
    void on_toolBox_currentChanged(int index);
    void on_actionSave_All_triggered();
    void on_gfxShift_valueChanged(int value);
    void on_gfxShift_sliderReleased();
    void on_gfxShift_sliderPressed();

protected:
    bool event(QEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dropEvent(QDropEvent *event) override;

private:
    // The commands for damaged disks work on the list's rows.
    friend class SalvageController;
    friend class CatalogRepairController;

    struct Refusal
    {
        QString path;
        QString reason;
    };

    QStringList chooseImages(const QString &caption);
    // The disk images a dropped folder holds (one level), counted in the
    // log and the status bar.
    QStringList imagesInFolder(const QString &folder);
    // The names of the files taken for disk images in a folder.
    static QStringList imageNamePatterns();
    void updateSaveActions();
    // The first Save ever asks where to write, proposing the working
    // directory; false when the user chose nothing.
    bool chooseFirstOutputFolder();
    // Loads paths into new rows; the map cell of the first row added, or null.
    QTableWidgetItem *loadImages(const QStringList &paths);
    QTableWidgetItem *addImageRow(const ImageRow &image);
    void clearList();
    // The row's values as Open stored them, never the cells' text.
    ImageRow imageRowAt(int row) const;
    ImageRow selectedRow() const;
    void appendLog(const QString &text);
    void showSelectedPage();
    void showOutputFolder();
    void showFirstStartSize();
    void rememberRecentFiles(const QStringList &paths);
    void fillRecentMenu();
    void reportRefusals(const QVector<Refusal> &refusals);
    void reportWriteFailures(const QVector<LogEntry::WriteFailure> &failures);
    void reportSaveSummary(const SaveSummary &summary);
    bool scrollHexView(int sector, int line);

    int currentPage = 0;
    bool sliderPressed = false;
    int pendingShift = -1;
    // The sector last gone to and the scroll position that showed it.
    int navigatedSector = -1;
    int navigatedScroll = -1;
    QSettings settings;
    QFont spectrumFont;
    QString lastDir;
    RescueSession *session = nullptr;
    QList<QTextEdit::ExtraSelection> logMarks; // the colours of warnings and errors
    int lastMarkEnd = 0;
    int saveJobs = 0;
    SalvageController *salvageCommands = nullptr;
    QTableWidgetItem selectedImage;
    QToolButton *outputButton = nullptr;
    QLabel *salvageIndicator = nullptr;
    Ui::MainWindow *ui = nullptr;
    QString outputRoot = QStringLiteral(".");
    bool outputChosen = false; // by the user, the settings or setOutputRoot
};
