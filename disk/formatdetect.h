#pragma once

class libdsk;

enum DiskFormat {
    FormatUnknown = 0,
    FormatCpm = 1,
    FormatTosA2 = 2,
    FormatTosA4 = 3,
};

// Physical sector id at logical position i of a track: 7 * i mod 16.
extern const int sectorSkew[16];

// Tells TOS A.2, TOS A.4 and CP/M disks apart from the loaded sectors.
int detectFormat(const libdsk &dsk);
