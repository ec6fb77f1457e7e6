#pragma once

#include <QFont>
#include <QFontDatabase>
#include <QMainWindow>
#include <QSettings>
#include <QStringList>
#include <QTableWidgetItem>

#include "disk/logentry.h"
#include "imagelist/imagerow.h"
#include "rescue/conversion.h"

class QGraphicsScene;
class QGraphicsItem;
class RescueSession;

namespace Ui {
class MainWindow;
}

// Item data roles of the table's "Map" cell: the row's sector data and
// status map, and the rest of its ImageRow (name, geometry, format).
enum ImageDataRole {
    SectorDataRole = Qt::UserRole,
    SectorMapRole = Qt::UserRole + 1,
    ImageRowRole = Qt::UserRole + 2,
};

class MainWindow : public QMainWindow
{
    Q_OBJECT

public:
    explicit MainWindow(QWidget *parent = nullptr);
    ~MainWindow() override;

    // The Open command once its files are chosen (by the dialog, by drag
    // and drop or by a test): empties the list and the log, loads each file
    // and selects the first accepted image.
    void openImages(const QStringList &paths);
    // Converts one table row into its image folder below the output root.
    ConversionReport convertImage(int row);

    void updateHexView();
    void updateGfxView(int shift, bool keep);

    // Where Save writes; the current working directory by default.
    void setOutputRoot(const QString &root) { outputRoot = root; }

public slots:
    void message(const QString &html);
    void logEntry(const LogEntry &entry);

private slots:
    void on_action_Save_triggered();
    void on_actionAbout_triggered();
    void on_action_Open_triggered();
    void onSelectionChange();
    void on_toolBox_currentChanged(int index);
    void on_actionSave_All_triggered();
    void on_gfxShift_valueChanged(int value);
    void on_gfxShift_sliderReleased();
    void on_gfxShift_sliderPressed();

protected:
    void closeEvent(QCloseEvent *event) override;
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dropEvent(QDropEvent *event) override;

private:
    QTableWidgetItem *addImageRow(const ImageRow &image);
    // The row's values as Open stored them, never the cells' text.
    ImageRow imageRowAt(int row) const;
    void appendLog(const QString &text);
    void showSelectedPage();
    void reportWriteFailures(const QVector<LogEntry::WriteFailure> &failures);

    int currentPage = 0;
    bool sliderPressed = false;
    int pendingShift = -1;
    QSettings settings;
    QFontDatabase fontDatabase;
    QFont spectrumFont;
    QString lastDir;
    RescueSession *session = nullptr;
    QTableWidgetItem selectedImage;
    QGraphicsScene *scene = nullptr;
    QGraphicsItem *pixmapItem = nullptr;
    Ui::MainWindow *ui = nullptr;
    QString outputRoot = QStringLiteral(".");
};
