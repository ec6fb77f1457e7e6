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
    // Deleted: the first name byte of every extent is 0xE5; the rest of the
    // entry stays and the blocks keep the data until a later file takes them.
    bool deleted = false;
    // The file's allocation blocks in order; empty: the next free ones
    // behind the files before it. Files are written in their order, so a
    // later file's blocks overwrite an earlier (deleted) one's.
    QVector<int> blocks = {};
};

struct Disk
{
    int tracks = 40;
    int sides = 1;
    bool a2 = false;       // catalog at sectors 64..79 instead of 0..15
    // A.2: logical sectors 0..63 hold system code, whose first bytes the
    // layout detection knows; without it they are left formatted.
    bool systemCode = false;
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

// Deletes the files at these indexes (their entries stay, marked deleted,
// their blocks keep the data) and appends the added files, each taking the
// lowest free blocks first (first fit): they fill the gaps, overwrite the
// blocks of deleted files and come out fragmented where a gap is too small.
// Gives every file of the disk its block list; added files that do not fit
// are left out.
void deleteAndRefill(Disk &disk, const QVector<int> &deleted, const QVector<File> &added);

// The allocation blocks the build gives each file, in the disk's order
// (empty for a file left out), and the logical sector of a block.
QVector<QVector<int>> blocksOf(const Disk &disk);
int sectorOfBlock(const Disk &disk, int block);

// A disk filled to about fillPercent of its data area with a mix of programs,
// code, screens and data, one damaged file, one file with a zeroed sector,
// an owner-prefixed name and two lost blocks behind the last file.
Disk sampleDisk(int tracks, int sides, bool a2, quint32 seed, int fillPercent);

// A disk whose first sectors look like CP/M boot code.
QByteArray cpmDisk();
// A freshly formatted disk: no catalog evidence, layout unknown.
QByteArray blankDisk(int tracks, int sides);

} // namespace tosdisk
