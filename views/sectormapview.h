#pragma once

#include "imagelist/imagerow.h"
#include "palette.h"

#include <QStringList>
#include <QVector>
#include <QWidget>

class QAbstractScrollArea;
class QCheckBox;
class QSlider;
class QToolButton;

// Every sector of one image as a grid large enough to read: one column per
// track, one row per sector of a side (labelled with its sector id), the
// sides one below the other, and a legend that stays in view below the grid.
// Coloured by health, good, suspect and missing sectors differ in pattern as
// well as in colour (sectorLook() of the palette): good is plain green,
// suspect amber with a diagonal hatch, missing red with a cross. Coloured
// by file (the "By file" switch above the grid), each sector takes the
// colour of its owner (ownerColour(): the catalog, each file its own, lost
// data, free) and its health is drawn on it as a pattern. The cells keep a
// size one can see: the grid fits the page down to a smallest cell and
// scrolls beyond, or takes the size the zoom slider gives; a missing sector
// in a cell under 10 pixels is drawn larger than it. While the grid scrolls
// sideways, an overview below it shows every track in the page's width,
// those with missing or suspect sectors marked. A tooltip tells a
// sector's place, state and file; a click chooses the sector.
class SectorMapView : public QWidget
{
    Q_OBJECT

public:
    struct Owner
    {
        using Kind = SectorOwnerKind;
        Kind kind = Kind::Free;
        int file = -1; // for Kind::File: the file's place in the rescue's list
    };
    enum class Colouring { Health, ByFile };

    // The size of a cell while the grid fits the page: never smaller than
    // fittedCell, never larger than largestCell; the zoom goes from
    // smallestCell to largestCell.
    static constexpr int smallestCell = 4;
    static constexpr int fittedCell = 8;
    static constexpr int largestCell = 40;

    explicit SectorMapView(QWidget *parent = nullptr);

    // Shows the sectors of row; owners names the file of each logical
    // sector, as sectorOwners() gives them, and until setOwners() says
    // better, the colours by file follow those names ("catalog" for the
    // catalog, a colour per name in the order the names come).
    void setImage(const ImageRow &row, const QStringList &owners);
    // The owner of each logical sector; an empty vector: none known, every
    // sector free.
    void setOwners(const QVector<Owner> &perLogicalSector);
    void clear();

    int sectorCount() const { return states.size(); }
    SectorState state(int logical) const;
    Owner owner(int logical) const;
    // The colour a sector's cell takes where it is not patterned.
    QColor cellColour(int logical) const;

    void setColouring(Colouring colouring);
    Colouring colouring() const { return mode; }

    // The sector drawn with a frame: the one last clicked or gone to.
    void setMarkedSector(int logical);
    int markedSector() const { return marked; }
    // Sectors drawn with a frame of the highlight colour: a file's.
    void setMarkedSectors(const QVector<int> &logicalSectors);
    QVector<int> markedSectors() const { return markedFile; }

    // The side of a cell in pixels; fitted: the grid follows the page.
    int cellSize() const;
    void setCellSize(int pixels);
    bool fitted() const;
    void setFitted(bool on);

    // The cell of a logical sector in this widget's coordinates, where the
    // grid is scrolled to now; empty when there is none.
    QRect cellRect(int logical) const;
    // The logical sector drawn at pos (this widget's coordinates), -1 where
    // there is none.
    int sectorAt(const QPoint &pos) const;
    // Scrolls the grid so that the sector's cell is in view.
    void ensureVisible(int logical);
    // What the tooltip over a sector says, as plain text.
    QString sectorToolTip(int logical) const;
    // The text beside the tallest sector ids of side's rows, as painted.
    QString rowLabel(int side, int position) const;

    // The scrolled part: its viewport shows the cells.
    QAbstractScrollArea *grid() const { return gridArea; }
    QWidget *legend() const { return legendArea; }
    // Every track in the page's width, shown while the grid scrolls sideways.
    QWidget *overview() const { return overviewArea; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

signals:
    void sectorChosen(int logical);

protected:
    bool event(QEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    friend class SectorGrid;
    friend class SectorLegend;
    friend class SectorOverview;

    // The grid in unscrolled coordinates of the viewport.
    struct Layout
    {
        int cell = 0;
        int labelsLeft = 0; // side names and sector ids
        int labelsTop = 0;  // track numbers
        int sideGap = 0;
        QSize content;
    };
    Layout gridLayout() const;
    int walkedSides() const;
    QPoint scroll() const;
    QRect cellInViewport(const Layout &l, int logical) const;
    QString stateName(SectorState state) const;
    void updateGrid();
    void paintGrid(QPainter &painter, const QRect &exposed) const;
    void paintCell(QPainter &painter, const QRect &cell, int logical) const;
    void paintLegend(QPainter &painter, const QRect &area) const;
    int legendHeight(int width) const;
    QRectF overviewStrip(const QRect &area) const;
    void paintOverview(QPainter &painter, const QRect &area) const;
    void scrollToOverview(const QPoint &pos);
    struct LegendEntry;
    QVector<LegendEntry> legendEntries() const;

    ImageRow image; // geometry and format only
    QByteArray states;
    QStringList owners;
    QVector<Owner> owned;
    Colouring mode = Colouring::Health;
    int marked = -1;
    QVector<int> markedFile;
    int zoom = 0; // 0: fitted

    QCheckBox *byFile = nullptr;
    QSlider *zoomSlider = nullptr;
    QToolButton *fitButton = nullptr;
    QAbstractScrollArea *gridArea = nullptr;
    QWidget *overviewArea = nullptr;
    QWidget *legendArea = nullptr;
};
