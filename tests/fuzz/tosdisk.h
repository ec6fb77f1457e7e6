#pragma once

#include <QByteArray>
#include <QPair>
#include <QVector>

// Whole TOS disks with a catalog, files, damage and lost data, for fuzzing
// seeds, the batch tests and the throughput benchmark.
namespace tosdisk {

struct File
{
    quint8 owner = 0;
    QByteArray name;      // up to 8 characters
    QByteArray extension; // up to 3 characters
    QByteArray contents;  // header included
    QVector<int> badSectors;  // sectors of the file (0 = its first) the image lacks
    QVector<int> zeroSectors; // sectors of the file overwritten with zeros
};

struct Disk
{
    int tracks = 40;
    int sides = 1;
    bool a2 = false;       // catalog at sectors 64..79 instead of 0..15
    bool extended = false; // Extended DSK container instead of DSK
    bool padTracks = false; // DSK: a short track still takes the header's track size
    int storedTracks = -1; // tracks actually in the file; -1: all of them
    QByteArray label = "RESCUE";
    QVector<File> files;
    // Data no catalog entry claims: logical sector and the bytes put there.
    QVector<QPair<int, QByteArray>> lostData;
    QVector<int> badSectors; // logical sectors the image lacks
};

// The container bytes of the disk. Files that do not fit are left out.
QByteArray build(const Disk &disk);

// Where the files of a disk start: the first sector after the catalog that
// begins a block, and the sectors per block.
int firstFreeSector(const Disk &disk);
int sectorsPerBlock(const Disk &disk);

// File contents with a ZX Spectrum style header, bodies made from seed.
QByteArray basicProgram(int autostart, int bodyLength, quint32 seed);
QByteArray codeFile(int start, int bodyLength, quint32 seed);
QByteArray numberArray(int bodyLength, quint32 seed);
QByteArray plainData(int length, quint32 seed); // first byte above 3: no header

// A disk filled to about fillPercent of its data area with a mix of programs,
// code, screens and data, one damaged file, one file with a zeroed sector,
// an owner-prefixed name and two lost blocks behind the last file.
Disk sampleDisk(int tracks, int sides, bool a2, quint32 seed, int fillPercent);

// A disk whose first sectors look like CP/M boot code.
QByteArray cpmDisk();
// A freshly formatted disk: no catalog evidence, layout unknown.
QByteArray blankDisk(int tracks, int sides);

} // namespace tosdisk
