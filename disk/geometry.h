#pragma once

// Facts of the TOS disk geometry that every part of the rescue shares.
namespace geometry {

constexpr int sectorSize = 256;
constexpr int sectorsPerSide = 16;
// The catalog and the system area: the first 64 logical sectors hold the
// system of an A.2 disk, the next 16 its catalog.
constexpr int systemSectors = 64;
constexpr int catalogSectors = 16;

// Images of fewer than 50 tracks are read on side 0 only; from 50 tracks on
// both sides enter the logical order.
constexpr int bothSidesFromTracks = 50;
inline int sidesWalked(int tracks, int sides)
{
    if (tracks >= bothSidesFromTracks)
        return sides;
    return sides > 0 ? 1 : 0;
}

// Disks of more than 50 tracks use 4 KB allocation blocks and keep their
// sides interleaved track by track in the reader's linear numbering.
constexpr int largeDiskAboveTracks = 50;
inline bool isLargeDisk(int tracks)
{
    return tracks > largeDiskAboveTracks;
}

} // namespace geometry
