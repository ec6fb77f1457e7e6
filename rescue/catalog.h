#pragma once

#include <QByteArray>
#include <QString>
#include <QVector>

constexpr int catalogSize = 4096;
constexpr int catalogEntrySize = 32;
constexpr int catalogEntries = 128;

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
    int headerSize = 0;
};

// The first logical sector of the catalog: 64 for variant 2, 0 for 4.
int catalogFirstSector(int variant);

// The 4096 catalog bytes of an image in logical order: sectors 0..15 for
// variant 4, 64..79 for variant 2. Bytes the image does not have read as 0.
QByteArray catalogBytes(const QByteArray &imageData, int variant);

// The catalog's files in entry order, with name and key filled in.
QVector<TosFile> catalogFiles(const QByteArray &catalog);

// Block numbers of the file with this key, from its extents 0, 1, 2, ...
QByteArray fileBlocks(const QByteArray &catalog, const QByteArray &key, int &length);

// Linear sectors of the blocks: 4 KB blocks from sector 64 on a large disk,
// otherwise 1 KB blocks from sector 64 (variant 2) or 0 (variant 4).
QVector<quint32> blockSectors(const QByteArray &blocks, int variant, bool large);

// Catalog bytes may name anything: a name never carries a path separator.
QString safeFileName(QString name);
