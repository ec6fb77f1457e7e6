#pragma once

// Facts of the TOS disk geometry that every part of the rescue shares; no
// other file spells them out.
namespace geometry {

constexpr int sectorSize = 256;
constexpr int sectorsPerSide = 16;
constexpr int maxSides = 2;
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

// Allocation blocks: 1 KB (4 sectors) on small disks, 4 KB (16) on large
// ones. Large disks and A.2 disks number blocks from the end of the system
// area; small A.4 disks from sector 0.
inline int sectorsPerBlock(bool large)
{
    return large ? 16 : 4;
}
inline int firstBlockSector(bool large, bool systemArea)
{
    return large || systemArea ? systemSectors : 0;
}

// The reader's disk types: 1 one side, 2 two sides, 3 more than 50 tracks.
inline int diskType(int tracks, int sides)
{
    if (isLargeDisk(tracks))
        return 3;
    return sides == 1 ? 1 : 2;
}

// A sector's place on the disk: every track has room for both sides, so a
// place never depends on how many sides the image holds.
constexpr int sideStride = sectorsPerSide;
constexpr int placesPerTrack = maxSides * sectorsPerSide;
inline int place(int track, int side, int sectorId)
{
    return track * placesPerTrack + side * sideStride + sectorId;
}

// The reader's linear number of a sector as the container lists it: sector
// ids enter it unchanged, so an id of 16 or more lands on a later side or
// track.
inline int listedNumber(int track, int side, int sectorId, int sides)
{
    return (track * sides + side) * sectorsPerSide + sectorId;
}
// The place of a linear number of an image with this many sides.
inline int placeOfNumber(int number, int sides)
{
    const int side = sides > 0 ? (number / sectorsPerSide) % sides : 0;
    const int track = sides > 0 ? number / sectorsPerSide / sides : 0;
    return place(track, side, number % sectorsPerSide);
}

} // namespace geometry
