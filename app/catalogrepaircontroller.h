#pragma once

#include <QObject>

class MainWindow;
class QAction;
class QMenu;
class QTableWidget;
class RescueSession;

// The window's commands for a hurt catalog: rescue an image whose layout
// could not be told as A.2 or A.4, and rescue the files of deleted entries
// (in salvage mode). Adds its actions to the menu given.
class CatalogRepairController : public QObject
{
    Q_OBJECT

public:
    CatalogRepairController(MainWindow *window, QMenu *menu, QTableWidget *list, RescueSession *session);

    // The selected row is rescued with this layout from now on.
    void rescueSelectedAs(int format);
    void setUndelete(bool on);

private:
    void updateActions();

    MainWindow *window;
    QTableWidget *list;
    RescueSession *session;
    QAction *asA2;
    QAction *asA4;
    QAction *undelete;
};
