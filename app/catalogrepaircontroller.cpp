#include "catalogrepaircontroller.h"

#include "mainwindow.h"
#include "rescue/session.h"

#include <QAction>
#include <QMenu>
#include <QStatusBar>
#include <QTableWidget>

namespace {
constexpr int mapColumn = 3;
constexpr int formatColumn = 5;
constexpr int statusTimeout = 5000;
} // namespace

CatalogRepairController::CatalogRepairController(MainWindow *window, QMenu *menu, QTableWidget *list,
                                                 RescueSession *session)
    : QObject(window)
    , window(window)
    , list(list)
    , session(session)
    , asA2(new QAction(MainWindow::tr("Rescue as A.&2"), this))
    , asA4(new QAction(MainWindow::tr("Rescue as A.&4"), this))
    , undelete(new QAction(MainWindow::tr("&Undelete files"), this))
{
    asA2->setObjectName(QStringLiteral("actionRescue_as_A2"));
    asA4->setObjectName(QStringLiteral("actionRescue_as_A4"));
    undelete->setObjectName(QStringLiteral("actionUndelete"));
    asA2->setStatusTip(MainWindow::tr("Rescue the selected image, whose layout could not be told, as TOS A.2"));
    asA4->setStatusTip(MainWindow::tr("Rescue the selected image, whose layout could not be told, as TOS A.4"));
    undelete->setCheckable(true);
    undelete->setStatusTip(MainWindow::tr("In salvage mode, also rescue the files of catalog entries marked "
                                          "deleted, into the folder deleted"));
    menu->addSeparator();
    menu->addActions({asA2, asA4, undelete});

    connect(asA2, &QAction::triggered, this, [this] { rescueSelectedAs(int(DiskFormat::TosA2)); });
    connect(asA4, &QAction::triggered, this, [this] { rescueSelectedAs(int(DiskFormat::TosA4)); });
    connect(undelete, &QAction::toggled, this, &CatalogRepairController::setUndelete);
    connect(list, &QTableWidget::itemSelectionChanged, this, &CatalogRepairController::updateActions);
    updateActions();
}

void CatalogRepairController::rescueSelectedAs(int format)
{
    const int row = list->currentRow();
    QTableWidgetItem *map = list->item(row, mapColumn);
    if (!map)
        return;
    ImageRow image = window->imageRowAt(row);
    if (image.format != DiskFormat::Unknown && !image.layoutChosen)
        return;
    image.format = DiskFormat(format);
    image.layoutChosen = true;
    map->setData(MainWindow::ImageRowRole, QVariant::fromValue(image));
    if (QTableWidgetItem *text = list->item(row, formatColumn))
        text->setText(formatText(image.format) + QLatin1Char('*'));
    window->statusBar()->showMessage(MainWindow::tr("%1 will be rescued as %2").arg(image.name, formatText(image.format)),
                                     statusTimeout);
    updateActions();
}

void CatalogRepairController::setUndelete(bool on)
{
    RescueOptions options = session->options();
    options.undelete = on;
    session->setOptions(options);
}

void CatalogRepairController::updateActions()
{
    const ImageRow image = window->imageRowAt(list->currentRow());
    const bool choosable = list->item(list->currentRow(), mapColumn)
        && (image.format == DiskFormat::Unknown || image.layoutChosen);
    asA2->setEnabled(choosable);
    asA4->setEnabled(choosable);
}
