#include "physicaldisk.h"

#include "geometry.h"

using geometry::sectorSize;
using geometry::sectorsPerSide;

namespace {

void appendPadded(QByteArray &bytes, const QByteArray &text, int size)
{
    bytes.append(text.left(size));
    bytes.append(QByteArray(size - qMin(size, text.size()), '\0'));
}

QByteArray trackBlock(const PhysicalDisk &disk, int track, int side)
{
    QByteArray header;
    appendPadded(header, "Track-Info\r\n", 16);
    header.append(char(track));
    header.append(char(side));
    header.append(2, '\0');
    header.append(char(1));    // N: 256-byte sectors
    int countAt = header.size();
    header.append(char(0));    // sector count, filled below
    header.append(char(0x4E)); // gap 3
    header.append(char(0xE5)); // filler
    QByteArray data;
    int count = 0;
    for (int id = 0; id < sectorsPerSide; ++id) {
        const SectorState state = disk.state(track, side, id);
        if (state == SectorState::Missing)
            continue;
        const char error = state == SectorState::Suspect ? char(0x20) : char(0);
        header.append(char(track));
        header.append(char(side));
        header.append(char(id));
        header.append(char(1));
        header.append(error); // ST1: data error
        header.append(error); // ST2: data error in the data field
        header.append(char(sectorSize & 0xFF));
        header.append(char(sectorSize >> 8));
        data.append(disk.sectors.sectorData(PhysicalDisk::place(track, side, id)), sectorSize);
        ++count;
    }
    header[countAt] = char(count);
    header.append(QByteArray(256 - header.size(), '\0'));
    return header + data;
}

} // namespace

QByteArray extendedDskImage(const PhysicalDisk &disk, const QByteArray &creator)
{
    QByteArray image;
    appendPadded(image, "EXTENDED CPC DSK File\r\nDisk-Info\r\n", 34);
    appendPadded(image, creator, 14);
    image.append(char(disk.tracks));
    image.append(char(disk.sides));
    image.append(2, '\0');
    QByteArray blocks;
    for (int t = 0; t < disk.tracks; ++t) {
        for (int s = 0; s < disk.sides; ++s) {
            const QByteArray block = trackBlock(disk, t, s);
            // The size table holds each block's length in 256-byte units.
            image.append(char(block.size() / 256));
            blocks.append(block);
        }
    }
    image.append(QByteArray(256 - qMin(256, image.size()), '\0'));
    image.truncate(256);
    return image + blocks;
}
