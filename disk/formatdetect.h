#pragma once

#include <QMetaType>

class libdsk;

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

// Tells TOS A.2, TOS A.4 and CP/M disks apart from the loaded sectors.
DiskFormat detectFormat(const libdsk &dsk);
