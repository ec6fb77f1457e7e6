#pragma once

#include "imagelist/imagerow.h"
#include "rescue/conversion.h"
#include "views/sectormapview.h"

#include <QList>
#include <QObject>
#include <QPersistentModelIndex>
#include <QTemporaryDir>
#include <QUrl>
#include <QVector>

#include <memory>

class FilesPage;
class HexView;
class PreviewPanel;
class QMainWindow;
class QTableWidget;
class QToolBox;
class RescueSession;

// The window's files page: the selected image's files as the rescue finds
// them (a dry run of its conversion), beside a preview of the selected
// file. A file chosen there is shown in the hex view and the sector map;
// its check box decides whether Save writes it (the image row's leftOut);
// files dragged onto a file manager are written on the drop, by the rescue
// itself, into a temporary folder.
class Workbench : public QObject
{
    Q_OBJECT

public:
    // Adds its page to the window's tool box; session gives the options
    // a Save will use, so that the files listed are those it writes.
    Workbench(QMainWindow *window, RescueSession *session);
    ~Workbench() override;

    FilesPage *filesPage() const { return files; }
    PreviewPanel *previewPanel() const { return preview; }
    // The tool box page that holds both.
    QWidget *page() const { return pageWidget; }

    // Lists the files of the image row now current in the window's table.
    void showCurrentImage();
    // Writes the files at these places of the listed image into a new
    // temporary folder; their URLs.
    QList<QUrl> writeForDrag(const QVector<int> &places);

private:
    ConversionOptions dryRunOptions(const ImageRow &row) const;
    void fileChosen(int place);
    void ownersOf(const ConversionReport &report);
    // The owners of the sectors and the chosen file's extent, in the hex
    // view and on the sector map.
    void markInViews();
    void storeLeftOut(const QSet<int> &places);

    QTableWidget *images = nullptr;
    QToolBox *toolBox = nullptr;
    HexView *hexView = nullptr;
    SectorMapView *sectorMap = nullptr;
    RescueSession *session = nullptr;
    QWidget *pageWidget = nullptr;
    FilesPage *files = nullptr;
    PreviewPanel *preview = nullptr;

    QPersistentModelIndex imageCell; // the image row's cell that holds its ImageRow
    ImageRow image;
    int chosen = -1;
    QVector<SectorMapView::Owner> owners; // of each logical sector, as listed
    std::unique_ptr<QTemporaryDir> dragRoot;
    int drags = 0;
};
