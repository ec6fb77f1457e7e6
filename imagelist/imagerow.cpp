#include "imagerow.h"

#include "disk/geometry.h"
#include "disk/libdsk.h"

#include <QFileInfo>

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

LoadOutcome classify(libdsk &dsk, int openResult, const QString &name)
{
    LoadOutcome outcome;
    if (openResult < 0)
        return outcome;
    const DiskFormat format = detectFormat(dsk);
    if (format == DiskFormat::Cpm) {
        outcome.refused = true;
        outcome.refusal = LogEntry::error().text(QStringLiteral("CPM disks are not supported"));
        return outcome;
    }
    outcome.accepted = true;
    outcome.row = buildImageRow(dsk, name, openResult, format);
    return outcome;
}

} // namespace

int sidesWalked(int tracks, int sides)
{
    return geometry::sidesWalked(tracks, sides);
}

ImageRow buildImageRow(const libdsk &dsk, const QString &name, int badSectors, DiskFormat format)
{
    ImageRow row;
    row.name = name;
    row.tracks = dsk.tracks;
    row.sides = dsk.sides;
    row.badSectors = badSectors;
    row.format = format;
    row.salvage = dsk.salvaging();

    const int walked = sidesWalked(dsk.tracks, dsk.sides);
    const int total = dsk.tracks * walked * sectorsPerSide;
    // Filled in place: missing sectors stay zero, read ones are copied over.
    row.data = QByteArray(total * sectorSize, '\0');
    row.map = QByteArray(total, '\0');
    row.states = QByteArray(total, char(SectorState::Missing));
    row.agreement = QByteArray(total, '\0');
    row.supplier = QByteArray(total, '\0');
    char *data = row.data.data();
    char *map = row.map.data();
    for (int t = 0; t < dsk.tracks; ++t) {
        for (int s = 0; s < walked; ++s) {
            for (int i = 0; i < sectorsPerSide; ++i) {
                const int logical = (t * walked + s) * sectorsPerSide + i;
                const int id = physicalId(format, logical, i);
                if (dsk.copySector(t, s, id, data + logical * sectorSize)) {
                    map[logical] = char(1);
                    row.states[logical] = char(dsk.sectorState(t, s, id));
                    row.agreement[logical] = char(qMin(255, dsk.agreeingCopies(t, s, id)));
                    row.supplier[logical] = char(1);
                }
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

LoadOutcome loadImage(libdsk &dsk, const QString &path)
{
    const int result = dsk.open(path);
    return classify(dsk, result, QFileInfo(path).completeBaseName());
}

LoadOutcome loadImageData(libdsk &dsk, const QByteArray &bytes, const QString &name)
{
    const int result = dsk.openData(bytes, name);
    return classify(dsk, result, name);
}
