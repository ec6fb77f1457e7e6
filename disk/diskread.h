#pragma once

#include "logentry.h"
#include "physicaldisk.h"

#include <QByteArray>
#include <QString>
#include <QVector>

// What reading one disk image file gives: the disk by place, the log
// entries of the read (its "Opening file" entry first) and, when the file
// was not taken, why.
struct DiskRead
{
    enum class Refusal {
        None,
        NotRegularFile, // a folder, FIFO, socket or device: never opened
        TooLarge,       // larger than any image the readers could use
        NotTos,         // a container whose geometry no TOS disk has
        NoTrackHeader,  // a container whose track blocks cannot be found
        UnknownFormat,  // no reader recognised the file
        BadFlux,        // an SCP flux image that points past its end or that the reader cannot take
    };
    Refusal refusal = Refusal::UnknownFormat;
    PhysicalDisk disk;
    // Sectors the geometry calls for that the file did not supply.
    int missing = 0;
    QVector<LogEntry> entries;

    bool accepted() const { return refusal == Refusal::None; }
};

struct ReadOptions
{
    // Weak sectors (several differing copies) are read as the byte-wise
    // majority of their copies instead of being left out.
    bool salvage = false;
    // The number the read's sectors are credited to (1 = the first read).
    int supplier = 1;
};

// Files larger than any image the readers could use are not read whole.
constexpr qint64 maxDiskImageSize = 64 * 1024 * 1024;

// Reads a DSK, Extended DSK or SCP flux image from a file or from bytes in memory;
// baseName is what the log shows.
DiskRead readDiskFile(const QString &path, const ReadOptions &options = ReadOptions());
DiskRead readDiskBytes(const QByteArray &bytes, const QString &baseName, const ReadOptions &options = ReadOptions());
