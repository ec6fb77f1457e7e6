#pragma once

#include <QMetaType>

struct PhysicalDisk;

// What a loaded disk carries, from detection to the conversion.
enum class DiskFormat {
    Unknown,
    Cpm,
    TosA2, // catalog in sectors 64..79
    TosA4, // catalog in sectors 0..15
};

Q_DECLARE_METATYPE(DiskFormat)

// Physical sector id at logical position i of a track: 7 * i mod 16.
extern const int sectorSkew[16];

// Tells TOS A.2, TOS A.4 and CP/M disks apart from the sectors of a read.
DiskFormat detectFormat(const PhysicalDisk &disk);

// The catalog layout of a TOS disk: where its catalog lies (A.2 after the
// system area, A.4 at the start) and how large its blocks are.
struct CatalogLayout
{
    enum class Variant { A2, A4 };
    Variant variant = Variant::A2;
    bool large = false;

    int catalogFirstSector() const;
    int firstBlockSector() const;
    int sectorsPerBlock() const;
};

// The layout of a converted format; false for a format without a readable
// catalog (unknown, CP/M).
bool catalogLayout(DiskFormat format, int tracks, CatalogLayout &layout);
