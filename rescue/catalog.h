#pragma once

#include "disk/formatdetect.h"
#include "disk/geometry.h"
#include "disk/sectortable.h"

#include <QByteArray>
#include <QString>
#include <QVector>

constexpr int catalogSize = geometry::catalogSectors * geometry::sectorSize;
constexpr int catalogEntrySize = 32;
constexpr int catalogEntries = 128;

// Where a rescued file was found: a live catalog entry, an entry marked
// deleted, or lost data put back together without an entry.
enum class FileOrigin { Catalog, Deleted, Lost };

// One catalog file during a conversion.
struct TosFile
{
    QString catalogName; // the name as the catalog gives it: what the log, the header and the tape show
    QString name;        // the same made safe for a path, without the type extension
    QByteArray key; // entry bytes 1..11, bit 7 cleared
    int length = 0;
    QByteArray blocks;
    QVector<quint32> sectors;

    QByteArray data;
    int typeByte = 0;
    int badCount = 0;
    int falsePositives = 0;
    QString badList;
    int suspectCount = 0;
    QString suspectList;
    int flaggedCount = 0; // sectors read with error bits or differing copies, in any mode
    int headerSize = 0;

    QVector<int> entries; // the catalog entries the file was read from, its extents in order
    QString doubt;        // why its catalog entry cannot be trusted; empty when it can
    FileOrigin origin = FileOrigin::Catalog;
    int reused = 0; // a deleted file's sectors that other files claim now
};

// The 4096 catalog bytes of an image in logical order: sectors 0..15 for
// A.4, 64..79 for A.2. Bytes the image does not have read as 0.
QByteArray catalogBytes(const QByteArray &imageData, const CatalogLayout &layout);

// The catalog's files in entry order, with name and key filled in.
QVector<TosFile> catalogFiles(const QByteArray &catalog);

// Files whose entries are marked deleted (0xE5 in place of the name's
// first character, the rest of the entry kept), with name ("?" for the lost
// character), length, blocks and entries; sectors are left to the caller.
QVector<TosFile> deletedFiles(const QByteArray &catalog);

// Block numbers of the file with this key, from its extents 0, 1, 2, ...;
// the entries of the extents, when asked for.
QByteArray fileBlocks(const QByteArray &catalog, const QByteArray &key, int &length,
                      QVector<int> *entries = nullptr);

// Marks each file whose catalog entry cannot be trusted with the reason:
// an entry in a catalog sector that is not good, a name that cannot be
// printed, a length beyond its blocks or the disk, a record count that does
// not match its block list, a block beyond the disk or shared with another
// file. sectors: the image's sectors in logical order.
void checkEntries(QVector<TosFile> &files, const QByteArray &catalog, const CatalogLayout &layout,
                  const SectorTable &sectors);

// Logical sectors of the blocks: 4 KB blocks from sector 64 on a large
// disk, otherwise 1 KB blocks from sector 64 (A.2) or 0 (A.4).
QVector<quint32> blockSectors(const QByteArray &blocks, const CatalogLayout &layout);

// Catalog bytes may name anything: a name never carries a path separator.
QString safeFileName(QString name);
