#pragma once

#include <QByteArray>
#include <QMap>
#include <QString>
#include <QVector>

// Builds standard DSK and Extended DSK images in memory for tests: chosen
// geometry, sector ids, missing sectors and tracks, stored data lengths and,
// through the logical helpers, TOS catalogs and file contents.
// Writes bytes to path for a test; false when the file was not written whole.
bool writeTestFile(const QString &path, const QByteArray &bytes);

class ImageBuilder
{
public:
    struct Sector
    {
        int id = 0;
        QByteArray data;     // the bytes stored for the sector
        int sizeCode = 1;    // N of the sector info entry
        int storedLength = -1; // EDSK data length field; -1: data.size()
        quint8 st1 = 0;
        quint8 st2 = 0;
    };
    struct Track
    {
        int track = 0;
        int side = 0;
        bool present = true;
        int sizeCode = 1; // N of the track header
        QVector<Sector> sectors;
    };

    // Every track side gets sectors 0..15 filled with fill.
    ImageBuilder(int tracks, int sides, char fill = char(0xE5));

    int tracks() const { return trackCount; }
    int sides() const { return sideCount; }

    Track &track(int track, int side);
    Sector *sector(int track, int side, int id);
    void setSector(int track, int side, int id, const QByteArray &bytes);
    void removeSector(int track, int side, int id);
    void removeTrack(int track, int side);
    void setCreator(const QByteArray &creator) { creatorName = creator; }
    void setDskTrackSize(int size) { dskTrackSize = size; }
    void setHeaderTracks(int tracks) { headerTracks = tracks; }
    void setHeaderSides(int sides) { headerSides = sides; }
    // Standard DSK: pad every block to the header's track size.
    void setPadTracks(bool pad) { padTracks = pad; }

    QByteArray dsk() const;
    QByteArray edsk() const;

    // Logical numbering as the image table lays it out.
    static int sidesWalked(int tracks, int sides);
    void logicalToPhysical(int logical, bool a2, int &track, int &side, int &id) const;
    void setLogicalSector(int logical, const QByteArray &bytes, bool a2);
    void removeLogicalSector(int logical, bool a2);
    // Writes bytes across logical sectors from byte offset in logical order.
    void setLogicalBytes(int offset, const QByteArray &bytes, bool a2);

    // A 32-byte catalog entry.
    static QByteArray catalogEntry(quint8 owner, const QByteArray &name, const QByteArray &extension,
                                   quint8 extent, quint8 lastBytes, int records,
                                   const QByteArray &blocks);
    // A ZX Spectrum style 5-byte header followed by body.
    static QByteArray withHeader5(quint8 type, int word1, int word3, const QByteArray &body);
    static QByteArray withHeader7(int start, int variables, const QByteArray &body);

private:
    QByteArray sectorBytes(const QByteArray &bytes) const;

    int trackCount;
    int sideCount;
    int headerTracks;
    int headerSides;
    int dskTrackSize = 0x1100;
    bool padTracks = false;
    QByteArray creatorName = "TestBuilder";
    QVector<Track> trackList; // in file order
};
