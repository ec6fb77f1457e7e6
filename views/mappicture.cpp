#include "mappicture.h"

#include "disk/geometry.h"
#include "imagelist/imagerow.h"

#include <QPainter>

namespace {

QImage emptyMapPicture(int tracks)
{
    QImage picture(86, 36, QImage::Format_ARGB32_Premultiplied);
    picture.fill(Qt::transparent);
    QPainter painter(&picture);
    painter.setPen(Qt::black);
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(0, 2, 84, 30);
    const int width = tracks <= 49 ? 2 * tracks : tracks;
    painter.fillRect(QRect(0, 2, width, 32), Qt::green);
    return picture;
}

QRect markOf(int walkedSides, int track, int side, int position)
{
    return walkedSides == 1 ? QRect(2 * track, 2 * position + 2, 2, 2) : QRect(track, 2 + 16 * side + position, 1, 1);
}

void markMissing(QImage &picture, int walkedSides, int track, int side, int position)
{
    const QRgb red = qRgb(255, 0, 0);
    const QRect visible = markOf(walkedSides, track, side, position).intersected(picture.rect());
    for (int y = visible.top(); y <= visible.bottom(); ++y)
        for (int x = visible.left(); x <= visible.right(); ++x)
            picture.setPixel(x, y, red);
}

// Suspect sectors: amber and black in a checker pattern, so they differ
// from good and missing ones in brightness and texture, not in hue alone.
void markSuspect(QImage &picture, int walkedSides, int track, int side, int position)
{
    const QRgb amber = qRgb(255, 191, 0);
    const QRgb black = qRgb(0, 0, 0);
    const QRect visible = markOf(walkedSides, track, side, position).intersected(picture.rect());
    for (int y = visible.top(); y <= visible.bottom(); ++y)
        for (int x = visible.left(); x <= visible.right(); ++x)
            picture.setPixel(x, y, (x + y) % 2 == 0 ? amber : black);
}

} // namespace

QImage mapPicture(const ImageRow &row)
{
    QImage picture = emptyMapPicture(row.tracks);
    const int walked = geometry::sidesWalked(row.tracks, row.sides);
    if (walked == 0)
        return picture;
    const int perTrack = walked * geometry::sectorsPerSide;
    for (int logical = 0; logical < row.sectorCount(); ++logical) {
        const int track = logical / perTrack;
        const int side = (logical / geometry::sectorsPerSide) % walked;
        const int position = logical % geometry::sectorsPerSide;
        if (row.state(logical) == SectorState::Missing)
            markMissing(picture, walked, track, side, position);
        else if (row.salvage && row.state(logical) == SectorState::Suspect)
            markSuspect(picture, walked, track, side, position);
    }
    return picture;
}
