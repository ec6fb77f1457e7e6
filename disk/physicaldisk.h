#pragma once

#include "geometry.h"
#include "sectortable.h"

#include <QByteArray>
#include <QMetaType>

// The sectors of a disk by place (geometry::place: track, side and sector
// id 0..15), in one sector table. The form in which a disk is read, several
// reads of one disk are merged and the best image is written.
struct PhysicalDisk
{
    int tracks = 0;
    int sides = 0;
    SectorTable sectors;

    PhysicalDisk() = default;
    PhysicalDisk(int tracks, int sides)
        : tracks(tracks)
        , sides(sides)
        , sectors(tracks * geometry::placesPerTrack)
    {
    }

    static int place(int track, int side, int sectorId) { return geometry::place(track, side, sectorId); }
    int places() const { return tracks * geometry::placesPerTrack; }
    SectorState state(int track, int side, int sectorId) const
    {
        return sectors.state(place(track, side, sectorId));
    }
};

Q_DECLARE_METATYPE(PhysicalDisk)

// The disk as an Extended DSK image: good sectors with a clean status,
// suspect ones with the data-error bits set (ST1 and ST2 bit 5), missing
// ones left out of their track's sector list.
QByteArray extendedDskImage(const PhysicalDisk &disk, const QByteArray &creator);
