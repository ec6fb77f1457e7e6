#pragma once

#include "disk/diskread.h"
#include "disk/formatdetect.h"
#include "disk/logentry.h"
#include "disk/sectortable.h"

#include <QByteArray>
#include <QMetaType>
#include <QSet>
#include <QString>
#include <QStringList>

// Everything an image-table row holds about one accepted image.
struct ImageRow
{
    QString name;
    int tracks = 0;
    int sides = 0;
    int badSectors = 0;
    DiskFormat format = DiskFormat::Unknown;
    // Every sector in logical order: bytes (zeros if not read), state,
    // agreeing copies or reads, and the read that supplied it.
    SectorTable sectors;
    // Built in salvage mode: suspect sectors are counted and listed.
    bool salvage = false;
    // The format is the user's choice for a disk whose layout could not be
    // told (the sectors keep the order they were read in).
    bool layoutChosen = false;
    QStringList reads;   // the names of the reads, the first supplier first
    QStringList sources; // the files the row was read from
    // Files the user chose not to save, by their place in the rescue's file
    // list (ConversionOptions::leaveOut).
    QSet<int> leftOut;

    int sectorCount() const { return sectors.count(); }
    SectorState state(int logical) const { return sectors.state(logical); }
};

Q_DECLARE_METATYPE(ImageRow)

// Number of sides that enter the logical order: images of fewer than
// 50 tracks contribute side 0 only.
int sidesWalked(int tracks, int sides);

// Where a logical sector of a row lies on the disk.
struct SectorPlace
{
    int track = 0;
    int side = 0;
    int position = 0; // place in the track's logical order, 0..15
    int sectorId = 0; // the sector's id as the disk records it
};
SectorPlace sectorPlace(int logical, int tracks, int sides, DiskFormat format);
SectorPlace sectorPlace(const ImageRow &row, int logical);

// Every sector of a disk in logical order.
ImageRow buildImageRow(const PhysicalDisk &disk, const QString &name, int badSectors, DiskFormat format,
                       bool salvage);

// "A.2", "A.4" or "unknown", as the TOS column shows the format.
QString formatText(DiskFormat format);

// The outcome of loading and classifying one image file: the read (its
// entries, the disk by place, a refusal of the file) and, when the read was
// taken, either the row or the refusal of the loaded image itself (CP/M).
struct LoadOutcome
{
    bool accepted = false;
    bool refused = false; // loaded, but of a kind the rescue does not take
    LogEntry refusal;
    ImageRow row;
    DiskRead read;
};

LoadOutcome loadImage(const QString &path, const ReadOptions &options);
LoadOutcome loadImageData(const QByteArray &bytes, const QString &name, const ReadOptions &options);
// Classifies a disk read elsewhere (a merge).
LoadOutcome classifyDisk(DiskRead read, const QString &name, bool salvage);
