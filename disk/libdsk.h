#pragma once

#include "logentry.h"

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QVector>

// One loaded disk image: the file bytes, the geometry of its header and a
// table telling where each 256-byte sector lies inside the file bytes.
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

    QByteArray sector(int n) const;
    QByteArray sector(int track, int side, int sectorId) const;
    // Copies the 256 bytes of a sector to out (a short one padded with
    // zeros); false, and nothing written, when the image lacks it.
    bool copySector(int track, int side, int sectorId, char *out) const;
    void reset();

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
        int length = 0;  // stored bytes, 1..256; the rest reads as zeros
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
    bool trackHeaderAt(int pos);
    bool storeSector(int track, int side, int sectorId, int offset, int length);

    quint8 byteAt(int pos) const;
    // A stored sector's 256 bytes, a short one padded with zeros.
    QByteArray storedBytes(int offset, int length) const;
    void reportOpening(const QString &baseName);
    QString textAt(int pos, int maxLength) const;

    QByteArray rawData;
    QVector<SectorRef> sectorTable;
};
