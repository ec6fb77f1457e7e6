#include "sectormapview.h"

#include "disk/formatdetect.h"
#include "disk/geometry.h"
#include "logrender.h"
#include "palette.h"

#include <QHelpEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QTextDocument>
#include <QToolTip>

namespace {
constexpr int spacing = 6;
constexpr int smallestCell = 6;
constexpr int largestCell = 40;
constexpr int perSide = geometry::sectorsPerSide;
} // namespace

SectorMapView::SectorMapView(QWidget *parent)
    : QWidget(parent)
{
    setMouseTracking(false);
    setAttribute(Qt::WA_OpaquePaintEvent, false);
}

void SectorMapView::setImage(const ImageRow &row, const QStringList &owners)
{
    image = row;
    states = QByteArray(row.sectorCount(), char(SectorState::Missing));
    for (int i = 0; i < row.sectorCount(); ++i)
        states[i] = char(row.state(i));
    this->owners = owners;
    marked = -1;
    updateGeometry();
    update();
}

void SectorMapView::clear()
{
    setImage(ImageRow(), QStringList());
}

SectorState SectorMapView::state(int logical) const
{
    return logical >= 0 && logical < states.size() ? SectorState(states.at(logical)) : SectorState::Missing;
}

void SectorMapView::setMarkedSector(int logical)
{
    marked = logical >= 0 && logical < sectorCount() ? logical : -1;
    update();
}

int SectorMapView::walkedSides() const
{
    return qMax(1, geometry::sidesWalked(image.tracks, image.sides));
}

SectorMapView::Layout SectorMapView::layout() const
{
    Layout l;
    const QFontMetrics metrics = fontMetrics();
    const int walked = walkedSides();
    const int tracks = qMax(1, image.tracks);
    const int left = spacing + metrics.horizontalAdvance(tr("Side %1").arg(walked - 1)) + spacing;
    const int top = spacing + metrics.height() + 2;
    const int legendHeight = metrics.height() + spacing;
    l.sideGap = qMax(4, metrics.height() / 2);
    const int gaps = (walked - 1) * l.sideGap;
    const int width = this->width() - left - spacing;
    const int height = this->height() - top - gaps - spacing - legendHeight - spacing;
    l.cellWidth = qBound(smallestCell, width / tracks, largestCell);
    l.cellHeight = qBound(smallestCell, height / (walked * perSide), largestCell);
    l.grid = QRect(left, top, l.cellWidth * tracks, l.cellHeight * walked * perSide + gaps);
    l.legend = QRect(left, l.grid.bottom() + 1 + spacing, qMax(l.grid.width(), this->width() - left - spacing),
                     legendHeight);
    return l;
}

QRect SectorMapView::cellRect(int logical) const
{
    if (logical < 0 || logical >= sectorCount())
        return QRect();
    const Layout l = layout();
    const SectorPlace place = sectorPlace(logical, image.tracks, image.sides, image.format);
    return QRect(l.grid.left() + place.track * l.cellWidth,
                 l.grid.top() + place.side * (perSide * l.cellHeight + l.sideGap) + place.position * l.cellHeight,
                 l.cellWidth, l.cellHeight);
}

int SectorMapView::sectorAt(const QPoint &pos) const
{
    if (sectorCount() == 0)
        return -1;
    const Layout l = layout();
    if (!l.grid.contains(pos))
        return -1;
    const int track = (pos.x() - l.grid.left()) / l.cellWidth;
    const int band = perSide * l.cellHeight + l.sideGap;
    const int side = (pos.y() - l.grid.top()) / band;
    const int within = (pos.y() - l.grid.top()) % band;
    if (within >= perSide * l.cellHeight)
        return -1; // between the sides
    const int logical = (track * walkedSides() + side) * perSide + within / l.cellHeight;
    return logical < sectorCount() ? logical : -1;
}

QString SectorMapView::stateName(SectorState state) const
{
    switch (state) {
    case SectorState::Good:
        return tr("good");
    case SectorState::Suspect:
        return tr("suspect");
    case SectorState::Repaired:
        return tr("repaired");
    case SectorState::Missing:
        break;
    }
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

QSize SectorMapView::minimumSizeHint() const
{
    const QFontMetrics metrics = fontMetrics();
    const int walked = walkedSides();
    const int left = 2 * spacing + metrics.horizontalAdvance(tr("Side %1").arg(walked - 1));
    const int height = 3 * spacing + 2 * metrics.height() + 2 + walked * perSide * smallestCell
        + (walked - 1) * qMax(4, metrics.height() / 2) + spacing;
    return QSize(left + qMax(1, image.tracks) * smallestCell + spacing, height);
}

QSize SectorMapView::sizeHint() const
{
    const QSize least = minimumSizeHint();
    return QSize(least.width() + qMax(1, image.tracks) * 6, least.height() + walkedSides() * perSide * 8);
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
    emit sectorClicked(logical);
}

void SectorMapView::paintCell(QPainter &painter, const QRect &cell, SectorState state) const
{
    // A one-pixel gap keeps neighbouring cells of one state apart.
    const QRect box = cell.width() > 4 && cell.height() > 4 ? cell.adjusted(0, 0, -1, -1) : cell;
    paintSector(painter, box, state);
}

void SectorMapView::paintLegend(QPainter &painter, const QRect &area) const
{
    const QFontMetrics metrics = fontMetrics();
    const int swatch = metrics.height();
    int x = area.left();
    const struct
    {
        SectorState state;
        QString label;
    } entries[] = {
        {SectorState::Good, tr("Good")},
        {SectorState::Repaired, tr("Repaired")},
        {SectorState::Suspect, tr("Suspect")},
        {SectorState::Missing, tr("Missing")},
    };
    for (const auto &entry : entries) {
        const int count = states.count(char(entry.state));
        if (entry.state == SectorState::Repaired && count == 0)
            continue; // only flux images have repaired sectors
        const QString text = tr("%1: %2").arg(entry.label).arg(count);
        paintCell(painter, QRect(x, area.top(), swatch + 1, swatch + 1), entry.state);
        x += swatch + spacing;
        painter.drawText(QRect(x, area.top(), metrics.horizontalAdvance(text) + 1, swatch + 1),
                         Qt::AlignLeft | Qt::AlignVCenter, text);
        x += metrics.horizontalAdvance(text) + 3 * spacing;
    }
}

void SectorMapView::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setPen(palette().color(QPalette::WindowText));
    if (sectorCount() == 0) {
        painter.drawText(rect(), Qt::AlignCenter, tr("Select an image to see its sectors."));
        return;
    }
    const Layout l = layout();
    const QFontMetrics metrics = fontMetrics();

    // Track numbers, as many as fit.
    const int labelWidth = metrics.horizontalAdvance(QStringLiteral("888")) + 2;
    int step = 1;
    for (int candidate : {1, 2, 5, 10, 20, 50}) {
        step = candidate;
        if (candidate * l.cellWidth >= labelWidth)
            break;
    }
    for (int track = 0; track < image.tracks; track += step) {
        const QRect label(l.grid.left() + track * l.cellWidth - labelWidth / 2 + l.cellWidth / 2, spacing,
                          labelWidth, metrics.height());
        painter.drawText(label, Qt::AlignCenter, QString::number(track));
    }

    // The side names beside their bands.
    const int band = perSide * l.cellHeight + l.sideGap;
    for (int side = 0; side < walkedSides(); ++side) {
        const QRect label(spacing, l.grid.top() + side * band, l.grid.left() - 2 * spacing, perSide * l.cellHeight);
        painter.drawText(label, Qt::AlignRight | Qt::AlignVCenter, tr("Side %1").arg(side));
    }

    for (int logical = 0; logical < sectorCount(); ++logical)
        paintCell(painter, cellRect(logical), state(logical));

    if (marked >= 0) {
        painter.setPen(QPen(palette().color(QPalette::WindowText), 2));
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(cellRect(marked).adjusted(0, 0, -1, -1));
        painter.setPen(palette().color(QPalette::WindowText));
    }
    paintLegend(painter, l.legend);
}
