#pragma once

#include "diskread.h"
#include "formatdetect.h"
#include "logentry.h"
#include "physicaldisk.h"

#include <QByteArray>
#include <QObject>
#include <QString>

// Holds the last disk image read, for callers that look at one image at a
// time: the read itself is a value (readDiskFile, readDiskBytes), whose
// entries this object passes on through its message signal.
class libdsk : public QObject
{
    Q_OBJECT
public:
    explicit libdsk(QObject *parent = nullptr);

    // Loads an image file; the result is the number of sectors the geometry
    // calls for that the file did not supply, or -6 when no reader accepts it.
    int open(const QString &path);
    // The same from bytes in memory; baseName is what the log shows.
    int openData(const QByteArray &bytes, const QString &baseName);

    // Takes the sectors of a disk assembled elsewhere (a merge of several
    // reads); the result is the number of sectors it lacks.
    int openPhysical(const PhysicalDisk &disk);

    QByteArray sector(int n) const;
    QByteArray sector(int track, int side, int sectorId) const;
    // Copies the 256 bytes of a sector to out (a short one padded with
    // zeros); false, and nothing written, when the image lacks it.
    bool copySector(int track, int side, int sectorId, char *out) const;
    void reset();

    // Salvage mode: weak sectors (several differing copies) are read as the
    // byte-wise majority of their copies instead of being left out. Set
    // before opening.
    void setSalvage(bool on) { salvage = on; }
    bool salvaging() const { return salvage; }
    // The state of a sector: missing, good or suspect (data present, but a
    // data error was reported, its copies differ or it is shorter than 256
    // bytes).
    SectorState sectorState(int track, int side, int sectorId) const;
    // How many copies of a sector equal the value read (1 for a plain one,
    // 0 for a missing one).
    int agreeingCopies(int track, int side, int sectorId) const;

    int tracks() const { return loaded.tracks; }
    int sides() const { return loaded.sides; }
    int diskType() const { return opened ? geometry::diskType(loaded.tracks, loaded.sides) : 0; }
    int sectorCount() const { return loaded.tracks * loaded.sides * geometry::sectorsPerSide; }
    // The loaded disk by place.
    const PhysicalDisk &disk() const { return loaded; }

    static constexpr qint64 maxFileSize = maxDiskImageSize;

signals:
    void message(const LogEntry &entry);

private:
    int take(DiskRead read);
    // The place of a sector as the loaded disk type numbers it, or -1.
    int placeOf(int track, int side, int sectorId) const;
    int placeOfNumber(int n) const;

    PhysicalDisk loaded;
    bool opened = false;
    bool salvage = false;
};

// Every place of the loaded image; supplier is the number given.
PhysicalDisk readPhysical(const libdsk &dsk, int supplier = 1);

// Detection on the loaded disk.
inline DiskFormat detectFormat(const libdsk &dsk)
{
    return detectFormat(dsk.disk());
}
