#include "libdsk.h"

#include <cstring>

using geometry::sectorSize;
using geometry::sectorsPerSide;

libdsk::libdsk(QObject *parent)
    : QObject(parent)
{
    // Entries travel through the message signal, also to signal spies.
    qRegisterMetaType<LogEntry>();
}

int libdsk::take(DiskRead read)
{
    for (const LogEntry &entry : read.entries)
        emit message(entry);
    if (!read.accepted()) {
        reset();
        return -6;
    }
    loaded = std::move(read.disk);
    opened = true;
    return read.missing;
}

int libdsk::open(const QString &path)
{
    return take(readDiskFile(path, ReadOptions{salvage, 1}));
}

int libdsk::openData(const QByteArray &bytes, const QString &baseName)
{
    return take(readDiskBytes(bytes, baseName, ReadOptions{salvage, 1}));
}

int libdsk::openPhysical(const PhysicalDisk &disk)
{
    reset();
    if (disk.sides < 1 || disk.sides > geometry::maxSides || disk.tracks < 1 || disk.tracks > 255
        || disk.sectors.count() < disk.places())
        return -6;
    loaded = disk;
    opened = true;
    int taken = 0;
    for (int t = 0; t < disk.tracks; ++t)
        for (int s = 0; s < disk.sides; ++s)
            for (int id = 0; id < sectorsPerSide; ++id)
                taken += placeOf(t, s, id) >= 0 && disk.state(t, s, id) != SectorState::Missing;
    return sectorCount() - taken;
}

int libdsk::placeOfNumber(int n) const
{
    if (n < 0 || n >= sectorCount())
        return -1;
    return geometry::placeOfNumber(n, loaded.sides);
}

int libdsk::placeOf(int track, int side, int sectorId) const
{
    // One-sided disks number their sectors by track alone.
    switch (diskType()) {
    case 1:
        return placeOfNumber(track * sectorsPerSide + sectorId);
    case 2:
    case 3:
        return placeOfNumber(track * geometry::placesPerTrack + side * geometry::sideStride + sectorId);
    default:
        return -1;
    }
}

QByteArray libdsk::sector(int n) const
{
    const int place = placeOfNumber(n);
    return loaded.sectors.isRead(place) ? loaded.sectors.sectorBytes(place) : QByteArray();
}

QByteArray libdsk::sector(int track, int side, int sectorId) const
{
    const int place = placeOf(track, side, sectorId);
    return loaded.sectors.isRead(place) ? loaded.sectors.sectorBytes(place) : QByteArray();
}

bool libdsk::copySector(int track, int side, int sectorId, char *out) const
{
    const int place = placeOf(track, side, sectorId);
    if (!loaded.sectors.isRead(place))
        return false;
    std::memcpy(out, loaded.sectors.sectorData(place), sectorSize);
    return true;
}

SectorState libdsk::sectorState(int track, int side, int sectorId) const
{
    return loaded.sectors.state(placeOf(track, side, sectorId));
}

int libdsk::agreeingCopies(int track, int side, int sectorId) const
{
    return loaded.sectors.agreeing(placeOf(track, side, sectorId));
}

void libdsk::reset()
{
    loaded = PhysicalDisk();
    opened = false;
}

PhysicalDisk readPhysical(const libdsk &dsk, int supplier)
{
    PhysicalDisk disk = dsk.disk();
    for (int p = 0; p < disk.sectors.count(); ++p)
        if (disk.sectors.isRead(p))
            disk.sectors.setRead(p, disk.sectors.state(p), disk.sectors.agreeing(p), supplier);
    return disk;
}
