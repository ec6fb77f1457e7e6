#pragma once

#include "logentry.h"

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QVector>

// One loaded disk image: the file bytes, the geometry of its header and a
// table telling where each 256-byte sector lies inside the file bytes.
struct PhysicalDisk;

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
    // The state of a linear sector: 0 missing, 1 good, 2 suspect (data
    // present, but a data error was reported, its copies differ or it is
    // shorter than 256 bytes); the values of SectorState.
    int sectorState(int track, int side, int sectorId) const;
    // How many copies of a sector equal the value read (1 for a plain one,
    // 0 for a missing one).
    int agreeingCopies(int track, int side, int sectorId) const;

    int tracks = 0;
    int sides = 0;
    int diskType = 0;
    int sectorCount = 0;

    // Files larger than any image the readers could use are not read whole.
    static constexpr qint64 maxFileSize = 64 * 1024 * 1024;

signals:
    void message(const LogEntry &entry);

private:
    struct SectorRef
    {
        int offset = -1; // -1: absent
        int length = 0;  // stored bytes of one copy, 1..256; the rest reads as zeros
        int copies = 1;  // a weak sector is stored as several 256-byte copies
        bool dataError = false;    // the controller reported a data error
        bool copiesDiffer = false; // the copies of a weak sector are not all alike
    };

    int linearNumber(int track, int side, int sectorId) const;
    int load(const QByteArray &bytes, const QString &baseName, bool tooLarge);
    int parseDsk();
    int parseEdsk();

    // Shared header steps of both readers.
    int checkCommonGeometry();
    void emitCreator(const char *container);
    void report(const LogEntry &entry) { emit message(entry); }
    void reportGeometry(const QString &trackSizeLine);
    void setGeometry();
    bool trackHeaderAt(int pos) const;
    bool storeSector(int track, int side, int sectorId, int offset, int length, int copies = 1,
                     bool dataError = false);
    bool weakTracksAcceptable(int blockCount) const;
    int majorityByte(const SectorRef &ref, int position) const;
    void copyStored(const SectorRef &ref, char *out) const;

    quint8 byteAt(int pos) const;
    // A stored sector's 256 bytes, a short one padded with zeros.
    QByteArray storedBytes(int offset, int length) const;
    void reportOpening(const QString &baseName);
    QString textAt(int pos, int maxLength) const;

    QByteArray rawData;
    QVector<SectorRef> sectorTable;
    bool salvage = false;
};
