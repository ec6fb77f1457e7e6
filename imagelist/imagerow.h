#pragma once

#include "disk/formatdetect.h"
#include "disk/logentry.h"

#include <QByteArray>
#include <QMetaType>
#include <QString>
#include <QStringList>

class libdsk;

// What the controller's record says of one sector.
enum class SectorState : char {
    Missing = 0,
    Good = 1,
    Suspect = 2, // data present, but a data error was reported, copies differ or it is partial
};

// Everything an image-table row holds about one accepted image.
struct ImageRow
{
    QString name;
    int tracks = 0;
    int sides = 0;
    int badSectors = 0;
    DiskFormat format = DiskFormat::Unknown;
    QByteArray data; // 256 bytes per sector, logical order, zeros if not read
    QByteArray map;  // one byte per sector: 1 read, 0 not read
    QByteArray states; // one SectorState per sector, logical order
    // Built in salvage mode: suspect sectors are counted and listed.
    bool salvage = false;
    // Per sector: how many reads or copies agreed on its value, and which
    // read supplied it (1 = the first; 0 where missing).
    QByteArray agreement;
    QByteArray supplier;
    QStringList reads;   // the names of the reads, the first supplier first
    QStringList sources; // the files the row was read from

    int sectorCount() const { return map.size(); }
    SectorState state(int logical) const
    {
        if (logical < 0 || logical >= map.size())
            return SectorState::Missing;
        if (states.size() != map.size()) // rows that know only read and not read
            return map.at(logical) != 0 ? SectorState::Good : SectorState::Missing;
        return SectorState(states.at(logical));
    }
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

// Reads every sector of the loaded image in logical order.
ImageRow buildImageRow(const libdsk &dsk, const QString &name, int badSectors, DiskFormat format);

// "A.2", "A.4" or "unknown", as the TOS column shows the format.
QString formatText(DiskFormat format);

// The outcome of loading and classifying one image file. The reader's own
// entries go through its message signal; a refusal of the loaded image
// itself (CP/M) comes back as an entry.
struct LoadOutcome
{
    bool accepted = false;
    bool refused = false; // loaded, but of a kind the rescue does not take
    LogEntry refusal;
    ImageRow row;
};

LoadOutcome loadImage(libdsk &dsk, const QString &path);
LoadOutcome loadImageData(libdsk &dsk, const QByteArray &bytes, const QString &name);
