#pragma once

#include "imagelist/imagerow.h"

#include <QStringList>
#include <QWidget>

// Every sector of one image as a grid large enough to read: one column per
// track, one row per sector of a side, the sides one below the other, and a
// legend. Good, suspect and missing sectors differ in pattern as well as in
// colour (sectorLook() of the palette): good is plain green, suspect amber with a diagonal hatch, missing
// red with a cross. A tooltip tells a sector's place, state and file; a
// click reports the sector.
class SectorMapView : public QWidget
{
    Q_OBJECT

public:
    explicit SectorMapView(QWidget *parent = nullptr);

    // Shows the sectors of row; owners names the file of each logical
    // sector, as sectorOwners() gives them.
    void setImage(const ImageRow &row, const QStringList &owners);
    void clear();

    int sectorCount() const { return states.size(); }
    SectorState state(int logical) const;
    // The sector drawn with a frame: the one last clicked or gone to.
    void setMarkedSector(int logical);
    int markedSector() const { return marked; }

    // The cell of a logical sector in the widget; empty when there is none.
    QRect cellRect(int logical) const;
    // The logical sector drawn at pos, -1 where there is none.
    int sectorAt(const QPoint &pos) const;
    // What the tooltip over a sector says, as plain text.
    QString sectorToolTip(int logical) const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

signals:
    void sectorClicked(int logical);

protected:
    bool event(QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;

private:
    struct Layout
    {
        QRect grid;   // the cells of every side, gaps included
        int cellWidth = 0;
        int cellHeight = 0;
        int sideGap = 0;
        QRect legend;
    };
    Layout layout() const;
    int walkedSides() const;
    QString stateName(SectorState state) const;
    void paintCell(QPainter &painter, const QRect &cell, SectorState state) const;
    void paintLegend(QPainter &painter, const QRect &area) const;

    ImageRow image; // geometry and format only
    QByteArray states;
    QStringList owners;
    int marked = -1;
};
