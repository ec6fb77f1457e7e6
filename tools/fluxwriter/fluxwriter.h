#pragma once

#include <QByteArray>
#include <QVector>

// Writes a known TOS disk as the flux a drive would read from it: MFM at
// 250 kbit/s (double density, 300 rpm), IBM-style track layout, 16 sectors
// of 256 bytes per track side, stored as an SCP flux image with several
// revolutions per track. Timing noise and damage are modelled so that the
// reader and its repair can be tested and measured against known bytes.
// A test and benchmark tool: the program never writes flux.
namespace fluxwriter {

constexpr int sectorSize = 256;
constexpr int sectorsPerSide = 16;

// The disk to encode: the bytes of each sector by track, side and sector id.
struct KnownDisk
{
    int tracks = 0;
    int sides = 0;
    // (track * sides + side) * 16 + id; an empty entry is a sector that was
    // never written (no ID field, no data field).
    QVector<QByteArray> sectors;

    KnownDisk() = default;
    KnownDisk(int tracks, int sides);
    int index(int track, int side, int id) const { return (track * sides + side) * sectorsPerSide + id; }
    QByteArray &sector(int track, int side, int id) { return sectors[index(track, side, id)]; }
    const QByteArray &sector(int track, int side, int id) const { return sectors.at(index(track, side, id)); }
};

// Damage to one sector's data field, in bytes from its first data byte.
struct Damage
{
    enum class Kind {
        Weak,    // each byte reads wrong (one bit flipped) at chance, anew every revolution
        Dropout, // no flux at all over the range, every revolution
        Defect,  // the bytes read wrong, the same wrong value every revolution
    };
    Kind kind = Kind::Weak;
    int track = 0;
    int side = 0;
    int sectorId = 0;
    int offset = 0;
    int length = 1;
    double chance = 0.3; // Weak only
};

struct Options
{
    int revolutions = 5;
    quint32 seed = 1;
    // Standard deviation of each flux transition's time, as a fraction of a
    // 2 µs half-cell.
    double jitter = 0.0;
    // The reading drive's speed against the writing one: 1.03 reads 3 %
    // fast, every cell 3 % shorter.
    double speed = 1.0;
    // A slow wobble of the speed through each revolution (one sine period):
    // 0.02 is ±2 %.
    double drift = 0.0;
    // Chance per track side and revolution of a short dropout (no flux over
    // 2 to 24 bytes) at a random place.
    double dropoutChance = 0.0;
    // One-sided images: the track table holds one entry per cylinder
    // instead of every other entry.
    bool denseOneSided = false;
    // Bytes of a track: 6250 at 250 kbit/s and 300 rpm. Fewer make small
    // files (fuzzing seeds): the track is cut after that many bytes.
    int trackBytes = 6250;
    QVector<Damage> damage;
};

// The SCP image of the disk.
QByteArray writeScp(const KnownDisk &disk, const Options &options);

// CRC-16-CCITT (polynomial 0x1021, start 0xFFFF), as the controller keeps it
// behind the ID and data fields.
quint16 crc16(const QByteArray &bytes, quint16 crc = 0xFFFF);

} // namespace fluxwriter
