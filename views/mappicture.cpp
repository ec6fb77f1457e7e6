#include "mappicture.h"

#include "disk/geometry.h"
#include "imagelist/imagerow.h"
#include "palette.h"

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
    const int width = tracks < geometry::bothSidesFromTracks ? 2 * tracks : tracks;
    painter.fillRect(QRect(0, 2, width, 32), sectorLook(SectorState::Good).colour);
    return picture;
}

QRect markOf(int walkedSides, int track, int side, int position)
{
    return walkedSides == 1 ? QRect(2 * track, 2 * position + 2, 2, 2) : QRect(track, 2 + geometry::sectorsPerSide * side + position, 1, 1);
}

// The marks are one or two pixels wide: a missing sector is its colour
// alone, too small for a cross; a suspect one is its colour and its
// pattern colour in a checker, the hatch at its finest, so that it differs
// from good and missing ones in brightness and texture, not in hue alone.
void mark(QImage &picture, const QRect &place, SectorState state)
{
    const SectorLook &look = sectorLook(state);
    const QRgb colour = look.colour.rgb();
    const QRgb pattern = look.pattern == SectorLook::Hatch ? look.patternColour.rgb() : colour;
    const QRect visible = place.intersected(picture.rect());
    for (int y = visible.top(); y <= visible.bottom(); ++y)
        for (int x = visible.left(); x <= visible.right(); ++x)
            picture.setPixel(x, y, (x + y) % 2 == 0 ? colour : pattern);
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
        const SectorState state = row.state(logical);
        // Suspect sectors count as such only for a row read in salvage mode.
        if (state == SectorState::Missing || (row.salvage && state == SectorState::Suspect))
            mark(picture, markOf(walked, track, side, position), state);
    }
    return picture;
}
