#include "imagerow.h"

#include "disk/geometry.h"

#include <QFileInfo>

#include <cstring>

using geometry::sectorsPerSide;
using geometry::sectorSize;

namespace {

// An A.2 disk keeps its 64-sector system area in plain order. One rule for
// every track count, exactly 50 included: the first 64 logical sectors are
// plain (tracks 0..3 of side 0 below 50 tracks, tracks 0 and 1 of both sides
// from 50 on).
int physicalId(DiskFormat format, int logicalSector, int position)
{
    if (format == DiskFormat::TosA2 && logicalSector < geometry::systemSectors)
        return position;
    return sectorSkew[position];
}

} // namespace

int sidesWalked(int tracks, int sides)
{
    return geometry::sidesWalked(tracks, sides);
}

ImageRow buildImageRow(const PhysicalDisk &disk, const QString &name, int badSectors, DiskFormat format,
                       bool salvage)
{
    ImageRow row;
    row.name = name;
    row.tracks = disk.tracks;
    row.sides = disk.sides;
    row.badSectors = badSectors;
    row.format = format;
    row.salvage = salvage;

    const int walked = sidesWalked(disk.tracks, disk.sides);
    // Filled in place: missing sectors stay zero, read ones are copied over.
    row.sectors = SectorTable(disk.tracks * walked * sectorsPerSide);
    for (int t = 0; t < disk.tracks; ++t) {
        for (int s = 0; s < walked; ++s) {
            for (int i = 0; i < sectorsPerSide; ++i) {
                const int logical = (t * walked + s) * sectorsPerSide + i;
                const int place = geometry::place(t, s, physicalId(format, logical, i));
                if (!disk.sectors.isRead(place))
                    continue;
                std::memcpy(row.sectors.sectorDataForWrite(logical), disk.sectors.sectorData(place), sectorSize);
                row.sectors.setRead(logical, disk.sectors.state(place), disk.sectors.agreeing(place),
                                    disk.sectors.supplier(place));
            }
        }
    }
    return row;
}

SectorPlace sectorPlace(int logical, int tracks, int sides, DiskFormat format)
{
    SectorPlace place;
    const int walked = qMax(1, sidesWalked(tracks, sides));
    place.position = logical % sectorsPerSide;
    place.track = logical / (walked * sectorsPerSide);
    place.side = (logical / sectorsPerSide) % walked;
    place.sectorId = physicalId(format, logical, place.position);
    return place;
}

SectorPlace sectorPlace(const ImageRow &row, int logical)
{
    return sectorPlace(logical, row.tracks, row.sides, row.format);
}

QString formatText(DiskFormat format)
{
    switch (format) {
    case DiskFormat::TosA2:
        return QStringLiteral("A.2");
    case DiskFormat::TosA4:
        return QStringLiteral("A.4");
    default:
        return QStringLiteral("unknown");
    }
}

LoadOutcome classifyDisk(DiskRead read, const QString &name, bool salvage)
{
    LoadOutcome outcome;
    if (read.accepted()) {
        const DiskFormat format = detectFormat(read.disk);
        if (format == DiskFormat::Cpm) {
            outcome.refused = true;
            outcome.refusal = LogEntry::error().text(QStringLiteral("CPM disks are not supported"));
        } else {
            outcome.accepted = true;
            outcome.row = buildImageRow(read.disk, name, read.missing, format, salvage);
        }
    }
    outcome.read = std::move(read);
    return outcome;
}

LoadOutcome loadImage(const QString &path, const ReadOptions &options)
{
    return classifyDisk(readDiskFile(path, options), QFileInfo(path).completeBaseName(), options.salvage);
}

LoadOutcome loadImageData(const QByteArray &bytes, const QString &name, const ReadOptions &options)
{
    return classifyDisk(readDiskBytes(bytes, name, options), name, options.salvage);
}
