#pragma once

#include <QFont>
#include <QFontDatabase>
#include <QMainWindow>
#include <QSettings>
#include <QStringList>
#include <QTableWidgetItem>

class QGraphicsScene;
class QGraphicsItem;
class libdsk;
class libtap;
struct ImageRow;

namespace Ui {
class MainWindow;
}

// Item data roles of the table's "Map" cell.
enum ImageDataRole {
    SectorDataRole = Qt::UserRole,
    SectorMapRole = Qt::UserRole + 1,
};

class MainWindow : public QMainWindow
{
    Q_OBJECT

public:
    explicit MainWindow(QWidget *parent = nullptr);
    ~MainWindow() override;

    // Steps 2 to 5 of the Open command, for the dialog, drag and drop and tests.
    void openImages(const QStringList &paths);
    // Converts one table row into its image folder below the output root.
    void convertImage(int row);

    void updateHexView();
    void updateGfxView(int shift, bool keep);

    // Where Save writes; the current working directory by default.
    void setOutputRoot(const QString &root) { outputRoot = root; }

public slots:
    void message(QString string);

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
    void appendLog(const QString &text);

    int currentPage = 0;
    bool sliderPressed = false;
    int pendingShift = -1;
    QSettings settings;
    QFontDatabase fontDatabase;
    QFont spectrumFont;
    QString lastDir;
    libdsk *dsk = nullptr;
    libtap *tap = nullptr;
    QTableWidgetItem selectedImage;
    QGraphicsScene *scene = nullptr;
    QGraphicsItem *pixmapItem = nullptr;
    Ui::MainWindow *ui = nullptr;
    QString outputRoot = QStringLiteral(".");
};
