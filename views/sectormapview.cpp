#include "sectormapview.h"

#include "disk/geometry.h"
#include "logrender.h"

#include <QAbstractScrollArea>
#include <QCheckBox>
#include <QHBoxLayout>
#include <QHash>
#include <QHelpEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QSlider>
#include <QTextDocument>
#include <QToolButton>
#include <QToolTip>
#include <QVBoxLayout>

namespace {
constexpr int spacing = 6;
constexpr int perSide = geometry::sectorsPerSide;
// The least a missing sector covers, in pixels across.
constexpr int missingMark = 10;
// The height of a side's row in the overview.
constexpr int overviewRow = 10;
} // namespace

// The cells, scrolled; their labels stay at the viewport's top and left.
class SectorGrid : public QAbstractScrollArea
{
public:
    explicit SectorGrid(SectorMapView *view)
        : QAbstractScrollArea(view)
        , view(view)
    {
        setFrameShape(QFrame::NoFrame);
        viewport()->setObjectName(QStringLiteral("sectorGrid"));
    }

    void updateRanges(const QSize &content)
    {
        const QSize page = viewport()->size();
        horizontalScrollBar()->setRange(0, qMax(0, content.width() - page.width()));
        horizontalScrollBar()->setPageStep(page.width());
        verticalScrollBar()->setRange(0, qMax(0, content.height() - page.height()));
        verticalScrollBar()->setPageStep(page.height());
        viewport()->update();
    }

protected:
    void paintEvent(QPaintEvent *event) override
    {
        QPainter painter(viewport());
        view->paintGrid(painter, event->rect());
    }
    void resizeEvent(QResizeEvent *event) override
    {
        QAbstractScrollArea::resizeEvent(event);
        view->updateGrid();
    }
    void scrollContentsBy(int, int) override
    {
        viewport()->update();
        view->overviewArea->update();
    }

private:
    SectorMapView *view;
};

class SectorLegend : public QWidget
{
public:
    explicit SectorLegend(SectorMapView *view)
        : QWidget(view)
        , view(view)
    {
        setObjectName(QStringLiteral("sectorMapLegend"));
    }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        painter.setPen(palette().color(QPalette::WindowText));
        view->paintLegend(painter, rect().adjusted(spacing, 0, -spacing, 0));
    }

private:
    SectorMapView *view;
};

// Every track of the disk in the page's width, one row per side: red
// where a track has a missing sector, amber where it has a suspect one, a
// frame around the tracks the grid shows. A click or a drag scrolls there.
class SectorOverview : public QWidget
{
public:
    explicit SectorOverview(SectorMapView *view)
        : QWidget(view)
        , view(view)
    {
        setObjectName(QStringLiteral("sectorMapOverview"));
        setToolTip(SectorMapView::tr("The whole disk: red where a track has a missing sector, amber where it has "
                                     "a suspect one. Click to go there."));
    }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        view->paintOverview(painter, rect());
    }
    void mousePressEvent(QMouseEvent *event) override { view->scrollToOverview(event->pos()); }
    void mouseMoveEvent(QMouseEvent *event) override
    {
        if (event->buttons() & Qt::LeftButton)
            view->scrollToOverview(event->pos());
    }

private:
    SectorMapView *view;
};

struct SectorMapView::LegendEntry
{
    QColor colour;      // an owner's colour, or invalid for a state's look
    SectorState state;
    QString text;
};

SectorMapView::SectorMapView(QWidget *parent)
    : QWidget(parent)
{
    byFile = new QCheckBox(tr("By &file"), this);
    byFile->setObjectName(QStringLiteral("sectorMapByFile"));
    byFile->setToolTip(tr("Colour the sectors by the file they belong to, their health drawn on top"));
    zoomSlider = new QSlider(Qt::Horizontal, this);
    zoomSlider->setObjectName(QStringLiteral("sectorMapZoom"));
    zoomSlider->setRange(smallestCell, largestCell);
    zoomSlider->setToolTip(tr("The size of a sector's cell"));
    zoomSlider->setMaximumWidth(200);
    auto *zoomLabel = new QLabel(tr("&Zoom"), this);
    zoomLabel->setBuddy(zoomSlider);
    fitButton = new QToolButton(this);
    fitButton->setObjectName(QStringLiteral("sectorMapFit"));
    fitButton->setText(tr("Fit"));
    fitButton->setCheckable(true);
    fitButton->setChecked(true);
    fitButton->setToolTip(tr("Fit the grid to the page, keeping cells large enough to see"));

    auto *bar = new QHBoxLayout;
    bar->setContentsMargins(spacing, spacing, spacing, 0);
    bar->addWidget(byFile);
    bar->addSpacing(3 * spacing);
    bar->addWidget(zoomLabel);
    bar->addWidget(zoomSlider, 1);
    bar->addWidget(fitButton);
    bar->addStretch(1);

    gridArea = new SectorGrid(this);
    overviewArea = new SectorOverview(this);
    overviewArea->hide();
    legendArea = new SectorLegend(this);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, spacing);
    layout->setSpacing(spacing);
    layout->addLayout(bar);
    layout->addWidget(gridArea, 1);
    layout->addWidget(overviewArea);
    layout->addWidget(legendArea);

    connect(byFile, &QCheckBox::toggled, this,
            [this](bool on) { setColouring(on ? Colouring::ByFile : Colouring::Health); });
    connect(zoomSlider, &QSlider::valueChanged, this, [this](int value) {
        if (!fitted() || value != cellSize())
            setCellSize(value);
    });
    connect(fitButton, &QToolButton::toggled, this, &SectorMapView::setFitted);
    updateGrid();
}

void SectorMapView::setImage(const ImageRow &row, const QStringList &owners)
{
    image = row;
    states = QByteArray(row.sectorCount(), char(SectorState::Missing));
    for (int i = 0; i < row.sectorCount(); ++i)
        states[i] = char(row.state(i));
    this->owners = owners;
    // Owners by their names until told better.
    owned.clear();
    QHash<QString, int> files;
    for (const QString &name : owners) {
        Owner owner;
        if (name == QLatin1String("catalog")) {
            owner.kind = Owner::Kind::Catalog;
        } else if (!name.isEmpty()) {
            owner.kind = Owner::Kind::File;
            owner.file = files.value(name, files.size());
            files.insert(name, owner.file);
        }
        owned.append(owner);
    }
    marked = -1;
    markedFile.clear();
    updateGrid();
    updateGeometry();
}

void SectorMapView::setOwners(const QVector<Owner> &perLogicalSector)
{
    owned = perLogicalSector;
    update();
    gridArea->viewport()->update();
}

void SectorMapView::clear()
{
    setImage(ImageRow(), QStringList());
}

SectorState SectorMapView::state(int logical) const
{
    return logical >= 0 && logical < states.size() ? SectorState(states.at(logical)) : SectorState::Missing;
}

SectorMapView::Owner SectorMapView::owner(int logical) const
{
    return logical >= 0 && logical < owned.size() ? owned.at(logical) : Owner();
}

QColor SectorMapView::cellColour(int logical) const
{
    if (mode == Colouring::Health)
        return sectorLook(state(logical)).colour;
    const Owner o = owner(logical);
    return ownerColour(o.kind, o.file);
}

void SectorMapView::setColouring(Colouring colouring)
{
    mode = colouring;
    byFile->setChecked(colouring == Colouring::ByFile);
    gridArea->viewport()->update();
    legendArea->update();
    updateGrid();
}

void SectorMapView::setMarkedSector(int logical)
{
    marked = logical >= 0 && logical < sectorCount() ? logical : -1;
    if (marked >= 0)
        ensureVisible(marked);
    gridArea->viewport()->update();
}

void SectorMapView::setMarkedSectors(const QVector<int> &logicalSectors)
{
    markedFile = logicalSectors;
    if (!markedFile.isEmpty())
        ensureVisible(markedFile.first());
    gridArea->viewport()->update();
}

int SectorMapView::cellSize() const
{
    return gridLayout().cell;
}

void SectorMapView::setCellSize(int pixels)
{
    zoom = qBound(smallestCell, pixels, largestCell);
    fitButton->setChecked(false);
    updateGrid();
}

bool SectorMapView::fitted() const
{
    return zoom == 0;
}

void SectorMapView::setFitted(bool on)
{
    if (on)
        zoom = 0;
    else if (zoom == 0)
        zoom = cellSize();
    fitButton->setChecked(on);
    updateGrid();
}

int SectorMapView::walkedSides() const
{
    return qMax(1, geometry::sidesWalked(image.tracks, image.sides));
}

SectorMapView::Layout SectorMapView::gridLayout() const
{
    Layout l;
    const QFontMetrics metrics = fontMetrics();
    const int walked = walkedSides();
    const int tracks = qMax(1, image.tracks);
    l.labelsLeft = spacing + metrics.horizontalAdvance(tr("Side %1").arg(walked - 1)) + spacing
        + metrics.horizontalAdvance(QStringLiteral("88")) + spacing;
    l.labelsTop = metrics.height() + 4;
    l.sideGap = qMax(4, metrics.height() / 2);
    const int gaps = (walked - 1) * l.sideGap;
    if (zoom > 0) {
        l.cell = zoom;
    } else {
        const QSize page = gridArea->viewport()->size();
        const int across = (page.width() - l.labelsLeft - spacing) / tracks;
        const int down = (page.height() - l.labelsTop - gaps - spacing) / (walked * perSide);
        l.cell = qBound(fittedCell, qMin(across, down), largestCell);
    }
    l.content = QSize(l.labelsLeft + tracks * l.cell + spacing, l.labelsTop + walked * perSide * l.cell + gaps + spacing);
    return l;
}

QPoint SectorMapView::scroll() const
{
    return QPoint(gridArea->horizontalScrollBar()->value(), gridArea->verticalScrollBar()->value());
}

void SectorMapView::updateGrid()
{
    if (!gridArea)
        return;
    const Layout l = gridLayout();
    static_cast<SectorGrid *>(gridArea)->updateRanges(l.content);
    const QSignalBlocker block(zoomSlider);
    zoomSlider->setValue(l.cell);
    legendArea->setFixedHeight(legendHeight(width() - 2 * spacing));
    legendArea->update();
    // The overview where the grid is wider than the page.
    overviewArea->setFixedHeight(walkedSides() * overviewRow + 3);
    overviewArea->setVisible(sectorCount() > 0 && gridArea->horizontalScrollBar()->maximum() > 0);
    overviewArea->update();
}

QRect SectorMapView::cellInViewport(const Layout &l, int logical) const
{
    const SectorPlace place = sectorPlace(logical, image.tracks, image.sides, image.format);
    const QPoint at = QPoint(l.labelsLeft + place.track * l.cell,
                             l.labelsTop + place.side * (perSide * l.cell + l.sideGap) + place.position * l.cell)
        - scroll();
    return QRect(at, QSize(l.cell, l.cell));
}

QRect SectorMapView::cellRect(int logical) const
{
    if (logical < 0 || logical >= sectorCount())
        return QRect();
    const QRect cell = cellInViewport(gridLayout(), logical);
    return cell.translated(gridArea->viewport()->mapTo(this, QPoint(0, 0)));
}

int SectorMapView::sectorAt(const QPoint &pos) const
{
    if (sectorCount() == 0)
        return -1;
    const Layout l = gridLayout();
    const QWidget *viewport = gridArea->viewport();
    const QPoint inViewport = viewport->mapFrom(this, pos);
    if (!viewport->rect().contains(inViewport) || inViewport.x() < l.labelsLeft || inViewport.y() < l.labelsTop)
        return -1;
    const QPoint at = inViewport + scroll() - QPoint(l.labelsLeft, l.labelsTop);
    const int track = at.x() / l.cell;
    const int band = perSide * l.cell + l.sideGap;
    const int side = at.y() / band;
    const int within = at.y() % band;
    if (track >= qMax(1, image.tracks) || side >= walkedSides() || within >= perSide * l.cell)
        return -1; // beside the grid or between the sides
    const int logical = (track * walkedSides() + side) * perSide + within / l.cell;
    return logical < sectorCount() ? logical : -1;
}

void SectorMapView::ensureVisible(int logical)
{
    if (logical < 0 || logical >= sectorCount())
        return;
    const Layout l = gridLayout();
    const QRect cell = cellInViewport(l, logical).translated(scroll());
    const QSize page = gridArea->viewport()->size();
    QScrollBar *across = gridArea->horizontalScrollBar();
    QScrollBar *down = gridArea->verticalScrollBar();
    if (cell.left() - l.labelsLeft < across->value() || cell.right() >= across->value() + page.width())
        across->setValue(cell.left() - l.labelsLeft - (page.width() - l.labelsLeft - l.cell) / 2);
    if (cell.top() - l.labelsTop < down->value() || cell.bottom() >= down->value() + page.height())
        down->setValue(cell.top() - l.labelsTop - (page.height() - l.labelsTop - l.cell) / 2);
}

QString SectorMapView::stateName(SectorState state) const
{
    if (state == SectorState::Good)
        return tr("good");
    if (state == SectorState::Suspect)
        return tr("suspect");
    if (state == SectorState::Repaired)
        return tr("repaired");
    return tr("missing");
}

QString SectorMapView::sectorToolTip(int logical) const
{
    if (logical < 0 || logical >= sectorCount())
        return QString();
    const SectorPlace place = sectorPlace(logical, image.tracks, image.sides, image.format);
    const QString owner = logical < owners.size() ? owners.at(logical) : QString();
    const QString offset = QStringLiteral("%1").arg(qint64(logical) * geometry::sectorSize, 5, 16, QLatin1Char('0'));
    return tr("Track %1, side %2, sector id %3").arg(place.track).arg(place.side).arg(place.sectorId)
        + QLatin1Char('\n') + tr("Logical sector %1, offset %2").arg(logical).arg(offset)
        + QLatin1Char('\n') + tr("State: %1").arg(stateName(state(logical)))
        + QLatin1Char('\n')
        + (owner.isEmpty() ? tr("In no file") : tr("File: %1").arg(escapedControls(owner)));
}

QString SectorMapView::rowLabel(int side, int position) const
{
    // The ids of the last track: only the first tracks of an A.2 disk keep
    // their sectors in plain order.
    const int lastTrack = qMax(0, image.tracks - 1);
    const int logical = (lastTrack * walkedSides() + side) * perSide + position;
    return QString::number(sectorPlace(logical, image.tracks, image.sides, image.format).sectorId);
}

QSize SectorMapView::minimumSizeHint() const
{
    // Small: the grid scrolls, so the page around it never has to.
    const QFontMetrics metrics = fontMetrics();
    return QSize(20 * metrics.averageCharWidth(), 8 * metrics.height());
}

QSize SectorMapView::sizeHint() const
{
    const QSize content = gridLayout().content;
    return QSize(qMin(content.width(), 900), content.height() + 4 * fontMetrics().height());
}

bool SectorMapView::event(QEvent *event)
{
    if (event->type() == QEvent::ToolTip) {
        auto *help = static_cast<QHelpEvent *>(event);
        const int logical = sectorAt(help->pos());
        if (logical < 0) {
            QToolTip::hideText();
            event->ignore();
        } else {
            // Names on a disk are data: shown as plain text, never as markup.
            QToolTip::showText(help->globalPos(), Qt::convertFromPlainText(sectorToolTip(logical)), this,
                               cellRect(logical));
        }
        return true;
    }
    return QWidget::event(event);
}

void SectorMapView::mousePressEvent(QMouseEvent *event)
{
    const int logical = event->button() == Qt::LeftButton ? sectorAt(event->pos()) : -1;
    if (logical < 0) {
        QWidget::mousePressEvent(event);
        return;
    }
    setMarkedSector(logical);
    emit sectorChosen(logical);
}

void SectorMapView::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    updateGrid();
}

void SectorMapView::paintCell(QPainter &painter, const QRect &cell, int logical) const
{
    // A one-pixel gap keeps neighbouring cells of one colour apart.
    const QRect box = cell.width() > 4 && cell.height() > 4 ? cell.adjusted(0, 0, -1, -1) : cell;
    if (mode == Colouring::Health)
        paintSector(painter, box, state(logical));
    else
        paintOwnedSector(painter, box, cellColour(logical), state(logical));
}

QVector<SectorMapView::LegendEntry> SectorMapView::legendEntries() const
{
    auto count = [this](SectorState state) { return states.count(char(state)); };
    QVector<LegendEntry> entries;
    if (mode == Colouring::Health) {
        entries.append({QColor(), SectorState::Good, tr("Good: %1").arg(count(SectorState::Good))});
    } else {
        int catalog = 0, files = 0, lost = 0, free = 0;
        for (int logical = 0; logical < sectorCount(); ++logical) {
            switch (owner(logical).kind) {
            case Owner::Kind::Catalog:
                ++catalog;
                break;
            case Owner::Kind::File:
                ++files;
                break;
            case Owner::Kind::Lost:
                ++lost;
                break;
            case Owner::Kind::Free:
                ++free;
                break;
            }
        }
        entries.append({ownerColour(Owner::Kind::Catalog), SectorState::Good, tr("Catalog: %1").arg(catalog)});
        entries.append({ownerColour(Owner::Kind::File, 0), SectorState::Good, tr("Files: %1").arg(files)});
        entries.append({ownerColour(Owner::Kind::Lost), SectorState::Good, tr("Lost: %1").arg(lost)});
        entries.append({ownerColour(Owner::Kind::Free), SectorState::Good, tr("Free: %1").arg(free)});
    }
    // Only flux images have repaired sectors.
    if (count(SectorState::Repaired) > 0)
        entries.append({QColor(), SectorState::Repaired, tr("Repaired: %1").arg(count(SectorState::Repaired))});
    entries.append({QColor(), SectorState::Suspect, tr("Suspect: %1").arg(count(SectorState::Suspect))});
    entries.append({QColor(), SectorState::Missing, tr("Missing: %1").arg(count(SectorState::Missing))});
    return entries;
}

int SectorMapView::legendHeight(int width) const
{
    // The entries flow into as many lines as the width needs.
    const QFontMetrics metrics = fontMetrics();
    const int swatch = metrics.height();
    int lines = 1;
    int x = 0;
    for (const LegendEntry &entry : legendEntries()) {
        const int wide = swatch + spacing + metrics.horizontalAdvance(entry.text) + 3 * spacing;
        if (x > 0 && x + wide > width) {
            ++lines;
            x = 0;
        }
        x += wide;
    }
    return lines * (swatch + spacing);
}

void SectorMapView::paintLegend(QPainter &painter, const QRect &area) const
{
    if (sectorCount() == 0)
        return;
    const QFontMetrics metrics = fontMetrics();
    const int swatch = metrics.height();
    QPoint at = area.topLeft();
    for (const LegendEntry &entry : legendEntries()) {
        const int wide = swatch + spacing + metrics.horizontalAdvance(entry.text) + 3 * spacing;
        if (at.x() > area.left() && at.x() + wide > area.right()) {
            at = QPoint(area.left(), at.y() + swatch + spacing);
        }
        const QRect box(at, QSize(swatch, swatch));
        if (entry.colour.isValid())
            paintOwnedSector(painter, box, entry.colour, entry.state);
        else if (mode == Colouring::ByFile)
            paintOwnedSector(painter, box, ownerColour(Owner::Kind::Free), entry.state);
        else
            paintSector(painter, box, entry.state);
        painter.drawText(QRect(at.x() + swatch + spacing, at.y(), metrics.horizontalAdvance(entry.text) + 1, swatch),
                         Qt::AlignLeft | Qt::AlignVCenter, entry.text);
        at.rx() += wide;
    }
}

QRectF SectorMapView::overviewStrip(const QRect &area) const
{
    const Layout l = gridLayout();
    return QRectF(area.left() + l.labelsLeft, area.top() + 1, area.width() - l.labelsLeft - spacing,
                  area.height() - 2);
}

void SectorMapView::paintOverview(QPainter &painter, const QRect &area) const
{
    if (sectorCount() == 0 || image.tracks <= 0)
        return;
    const QRectF strip = overviewStrip(area);
    const qreal across = strip.width() / image.tracks;
    painter.fillRect(strip, ownerColour(SectorOwnerKind::Free));
    for (int track = 0; track < image.tracks; ++track) {
        for (int side = 0; side < walkedSides(); ++side) {
            bool missing = false;
            bool suspect = false;
            for (int position = 0; position < perSide; ++position) {
                const SectorState s = state((track * walkedSides() + side) * perSide + position);
                missing |= s == SectorState::Missing;
                suspect |= s == SectorState::Suspect;
            }
            if (!missing && !suspect)
                continue;
            // At least three pixels wide, so that one track never vanishes.
            const QRectF mark(strip.left() + track * across, strip.top() + side * overviewRow,
                              qMax<qreal>(3, across), overviewRow - 1);
            painter.fillRect(mark, sectorLook(missing ? SectorState::Missing : SectorState::Suspect).colour);
        }
    }
    const Layout l = gridLayout();
    const QSize page = gridArea->viewport()->size();
    const qreal first = qreal(scroll().x()) / l.cell;
    const qreal shown = qreal(page.width() - l.labelsLeft) / l.cell;
    painter.setPen(QPen(palette().color(QPalette::WindowText), 1));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(QRectF(strip.left() + first * across, strip.top() - 0.5, shown * across, strip.height()));
}

void SectorMapView::scrollToOverview(const QPoint &pos)
{
    if (sectorCount() == 0 || image.tracks <= 0)
        return;
    const QRectF strip = overviewStrip(overviewArea->rect());
    const Layout l = gridLayout();
    const QSize page = gridArea->viewport()->size();
    // The track under the point in the middle, its side's rows in view.
    const qreal track = (pos.x() - strip.left()) / strip.width() * image.tracks;
    gridArea->horizontalScrollBar()->setValue(int(track * l.cell - (page.width() - l.labelsLeft) / 2.0));
    const int side = qBound(0, int((pos.y() - strip.top()) / overviewRow), walkedSides() - 1);
    const int band = perSide * l.cell + l.sideGap;
    gridArea->verticalScrollBar()->setValue(side * band + perSide * l.cell / 2 - (page.height() - l.labelsTop) / 2);
}

void SectorMapView::paintGrid(QPainter &painter, const QRect &exposed) const
{
    painter.setPen(palette().color(QPalette::WindowText));
    const QRect page = gridArea->viewport()->rect();
    if (sectorCount() == 0) {
        painter.drawText(page, Qt::AlignCenter, tr("Select an image to see its sectors."));
        return;
    }
    const Layout l = gridLayout();
    const QFontMetrics metrics = fontMetrics();
    const QPoint offset = scroll();
    const QRect cells = QRect(l.labelsLeft, l.labelsTop, page.width(), page.height()).intersected(page);

    painter.save();
    painter.setClipRect(cells.intersected(exposed));
    const int band = perSide * l.cell + l.sideGap;
    const int firstTrack = qMax(0, (offset.x() + exposed.left() - l.labelsLeft) / l.cell);
    const int lastTrack = qMin(image.tracks - 1, (offset.x() + exposed.right() - l.labelsLeft) / l.cell);
    QVector<int> smallMissing;
    for (int track = firstTrack; track <= lastTrack; ++track) {
        for (int side = 0; side < walkedSides(); ++side) {
            for (int position = 0; position < perSide; ++position) {
                const int logical = (track * walkedSides() + side) * perSide + position;
                if (logical >= sectorCount())
                    break;
                paintCell(painter, cellInViewport(l, logical), logical);
                if (state(logical) == SectorState::Missing && l.cell < missingMark)
                    smallMissing.append(logical);
            }
        }
    }
    // A missing sector in a small cell grows beyond it, over its neighbours.
    const int grow = (missingMark - l.cell + 1) / 2;
    for (int logical : smallMissing) {
        const QRect box = cellInViewport(l, logical).adjusted(-grow, -grow, grow, grow);
        painter.fillRect(box, QColor(255, 255, 255));
        painter.fillRect(box.adjusted(1, 1, -1, -1), sectorLook(SectorState::Missing).colour);
    }
    painter.setBrush(Qt::NoBrush);
    if (!markedFile.isEmpty()) {
        painter.setPen(QPen(palette().color(QPalette::Highlight), 2));
        for (int logical : markedFile)
            if (logical >= 0 && logical < sectorCount())
                painter.drawRect(cellInViewport(l, logical).adjusted(1, 1, -1, -1));
    }
    if (marked >= 0) {
        painter.setPen(QPen(palette().color(QPalette::WindowText), 2));
        painter.drawRect(cellInViewport(l, marked).adjusted(0, 0, -1, -1));
    }
    painter.restore();

    // The labels stay in view: track numbers along the top, side names and
    // sector ids down the left.
    const QColor paper = palette().color(QPalette::Window);
    painter.fillRect(QRect(0, 0, page.width(), l.labelsTop), paper);
    painter.fillRect(QRect(0, 0, l.labelsLeft, page.height()), paper);
    painter.setPen(palette().color(QPalette::WindowText));
    const int labelWidth = metrics.horizontalAdvance(QStringLiteral("888")) + 2;
    int step = 1;
    for (int candidate : {1, 2, 5, 10, 20, 50}) {
        step = candidate;
        if (candidate * l.cell >= labelWidth)
            break;
    }
    painter.save();
    painter.setClipRect(QRect(l.labelsLeft, 0, page.width(), l.labelsTop));
    for (int track = firstTrack / step * step; track <= lastTrack; track += step) {
        const int x = l.labelsLeft + track * l.cell - offset.x();
        painter.drawText(QRect(x + l.cell / 2 - labelWidth / 2, 0, labelWidth, l.labelsTop), Qt::AlignCenter,
                         QString::number(track));
    }
    painter.restore();

    painter.save();
    painter.setClipRect(QRect(0, l.labelsTop, l.labelsLeft, page.height()));
    int rowStep = 1;
    while (rowStep < perSide && rowStep * l.cell < metrics.height())
        rowStep *= 2;
    const int idsRight = l.labelsLeft - spacing;
    const int idsWidth = metrics.horizontalAdvance(QStringLiteral("88"));
    for (int side = 0; side < walkedSides(); ++side) {
        const int top = l.labelsTop + side * band - offset.y();
        painter.drawText(QRect(spacing, top, idsRight - idsWidth - 2 * spacing, perSide * l.cell),
                         Qt::AlignRight | Qt::AlignVCenter, tr("Side %1").arg(side));
        for (int position = 0; position < perSide; position += rowStep)
            painter.drawText(QRect(idsRight - idsWidth, top + position * l.cell, idsWidth, l.cell),
                             Qt::AlignRight | Qt::AlignVCenter, rowLabel(side, position));
    }
    painter.restore();
}
