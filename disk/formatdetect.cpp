#include "formatdetect.h"

#include "physicaldisk.h"

#include <QByteArray>

const int sectorSkew[16] = {0, 7, 14, 5, 12, 3, 10, 1, 8, 15, 6, 13, 4, 11, 2, 9};

namespace {

// Expected first byte of each of the first 64 linear sectors.
const unsigned char cpmSignature[64] = {
    0xED, 0xC3, 0xE7, 0xCF, 0xFE, 0xFE, 0xD2, 0xE0, 0xE6, 0x8D, 0xFE, 0xC1, 0xE9, 0xFE, 0xC2, 0xFE,
    0xEE, 0x20, 0xC2, 0x32, 0xC3, 0xF4, 0xF5, 0xC3, 0xFE, 0x77, 0xCD, 0xCB, 0xF6, 0x38, 0xFE, 0xFE,
    0xFE, 0xFE, 0xFE, 0xFE, 0xFE, 0xFE, 0xFE, 0xFE, 0xFE, 0xFE, 0xFE, 0xFE, 0xFE, 0xFE, 0xFE, 0xFE,
    0xC3, 0xFE, 0xFE, 0xFA, 0xFE, 0x3D, 0xD2, 0xCF, 0xED, 0xFE, 0x13, 0xFE, 0xFE, 0xC3, 0xFE, 0xFE,
};
const unsigned char tosSignature[64] = {
    0xFE, 0xFE, 0x7B, 0xFE, 0xCD, 0xFE, 0x7F, 0xBB, 0x25, 0xFE, 0xFE, 0xCB, 0xFE, 0xFE, 0x77, 0xF5,
    0xD9, 0x2D, 0xC2, 0xFE, 0xFE, 0x81, 0x7E, 0xFE, 0x32, 0x1E, 0xD4, 0xC7, 0xA1, 0xA3, 0xB0, 0xC1,
    0xC9, 0x2A, 0x5B, 0x65, 0x2C, 0xFE, 0xFE, 0x4E, 0xFE, 0x1B, 0xFA, 0xCD, 0x18, 0xFD, 0x32, 0xFD,
    0xFE, 0xFE, 0xCD, 0xC2, 0x33, 0xFE, 0xA2, 0x4B, 0xFE, 0x25, 0x1F, 0xCD, 0x64, 0x54, 0x2F, 0xE1,
};

constexpr int entrySize = 32;
constexpr int areaEntries = 128;

bool isDirectoryMarker(const unsigned char *e)
{
    return e[0] == 0xFF && e[9] == 'D' && e[10] == 'I' && e[11] == 'R';
}

bool looksLikeFileEntry(const unsigned char *e)
{
    if (e[0] > 14 || e[1] < 0x20)
        return false;
    int count = 0;
    for (int i = 16; i < 32; ++i)
        count += e[i] != 0;
    if (count == 0)
        return false;
    const int size = e[14] * 256 + e[15] * 128;
    if (size == 0)
        return false;
    return ((count - 1) * 1024 < size && size <= count * 1024)
           || ((count - 1) * 4096 < size && size <= count * 4096);
}

} // namespace

namespace {
// A sector by the reader's linear number, or an empty array where the disk
// lacks it.
QByteArray linearSector(const PhysicalDisk &disk, int n)
{
    if (n < 0 || n >= disk.tracks * disk.sides * geometry::sectorsPerSide)
        return QByteArray();
    const int place = geometry::placeOfNumber(n, disk.sides);
    return disk.sectors.isRead(place) ? disk.sectors.sectorBytes(place) : QByteArray();
}
} // namespace

DiskFormat detectFormat(const PhysicalDisk &disk)
{
    // Phase 1: first bytes against the two reference tables. The comparison
    // is exact for every byte value; 0xFE is no wildcard (as one it would
    // call every readable disk CP/M).
    int cpm = 0;
    int tos = 0;
    for (int i = 0; i < 64; ++i) {
        const QByteArray s = linearSector(disk, i);
        if (s.isEmpty())
            continue;
        const unsigned char b = static_cast<unsigned char>(s.at(0));
        cpm += b == cpmSignature[i];
        tos += b == tosSignature[i];
    }
    if (tos < cpm)
        return DiskFormat::Cpm;

    // Phase 2: catalog evidence in the two places a TOS catalog can lie.
    QByteArray buffer;
    buffer.reserve(32 * 256);
    for (int base : {0, 64}) {
        for (int i = 0; i < 16; ++i) {
            const QByteArray s = linearSector(disk, base + sectorSkew[i]);
            buffer.append(s.size() == 256 ? s : QByteArray(256, char(0xE5)));
        }
    }
    int firstArea = 0;
    int secondArea = tos;
    const auto *bytes = reinterpret_cast<const unsigned char *>(buffer.constData());
    for (int entry = 0; entry < 2 * areaEntries; ++entry) {
        const unsigned char *e = bytes + entry * entrySize;
        if (isDirectoryMarker(e) || looksLikeFileEntry(e))
            ++(entry < areaEntries ? firstArea : secondArea);
    }
    if (secondArea > firstArea)
        return DiskFormat::TosA2;
    if (secondArea < firstArea)
        return DiskFormat::TosA4;
    return DiskFormat::Unknown;
}

int CatalogLayout::catalogFirstSector() const
{
    return variant == Variant::A2 ? geometry::systemSectors : 0;
}

int CatalogLayout::firstBlockSector() const
{
    return geometry::firstBlockSector(large, variant == Variant::A2);
}

int CatalogLayout::sectorsPerBlock() const
{
    return geometry::sectorsPerBlock(large);
}

bool catalogLayout(DiskFormat format, int tracks, CatalogLayout &layout)
{
    if (format != DiskFormat::TosA2 && format != DiskFormat::TosA4)
        return false;
    layout.variant = format == DiskFormat::TosA2 ? CatalogLayout::Variant::A2 : CatalogLayout::Variant::A4;
    layout.large = geometry::isLargeDisk(tracks);
    return true;
}
