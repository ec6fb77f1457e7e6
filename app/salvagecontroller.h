#pragma once

#include <QObject>
#include <QString>

#include "imagelist/imagerow.h"

class MainWindow;
class QAction;
class QMenu;
class QTableWidget;
class RescueSession;

// The window's commands for damaged disks: salvage mode, merging reads,
// the best image and the sector report. Adds its actions to the menu given
// (after a separator) and keeps them enabled as the list's selection allows.
// Works on the window's list of images and its session.
class SalvageController : public QObject
{
    Q_OBJECT

public:
    SalvageController(MainWindow *window, QMenu *menu, QTableWidget *list, RescueSession *session);

    // Salvage mode for what is read from now on; the listed images are
    // read again in the new mode. Remembered in the settings.
    void setSalvage(bool on);
    bool salvaging() const;
    // The checkable command that turns salvage mode on and off.
    QAction *salvageModeAction() const { return salvageAction; }
    // Merges the selected rows (two or more reads of one geometry) into a
    // new row; false, with a status message, when it cannot.
    bool mergeSelectedRows();
    // The selected row's salvaged or merged disk as an Extended DSK.
    bool saveBestImage(const QString &path);
    // NAME.sectors.csv and NAME.files.csv of the selected row into folder.
    bool exportSectorReport(const QString &folder);

    // Where Save merged image proposes to write row's image: NAME-merged.dsk
    // in folder (the output folder), after the merge's first read.
    static QString proposedImagePath(const QString &folder, const ImageRow &row);
    // path, with ".dsk" added when its name has no extension.
    static QString withImageSuffix(const QString &path);

private:
    void chooseBestImagePath();
    void chooseReportFolder();
    void updateActions();
    // Replaces every row by a fresh read of its files (after a mode change).
    void reloadRows();
    void showStatus(const QString &text);

    MainWindow *window;
    QTableWidget *list;
    RescueSession *session;
    QAction *salvageAction;
    QAction *mergeAction;
    QAction *bestImageAction;
    QAction *reportAction;
};
