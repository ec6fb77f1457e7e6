#include "fluxwriter.h"

#include <cmath>
#include <random>
#include <vector>

namespace fluxwriter {

namespace {

constexpr double halfCellNs = 2000.0; // 250 kbit/s: a 4 µs data cell, two MFM half-cells
constexpr double tickNs = 25.0;
constexpr int gap3 = 50;
constexpr int tableEntries = 168;
constexpr int headerSize = 0x10 + 4 * tableEntries;
constexpr double pi = 3.14159265358979323846;

// One byte of the track as written, with the clock bit a mark leaves out.
struct TrackByte
{
    quint8 value;
    quint16 missingClock; // raw-word bit left out: 0x0020 in A1, 0x0080 in C2
};

struct Layout
{
    std::vector<TrackByte> bytes;
    std::vector<int> dataStart; // per sector id: first data byte, -1 when absent
};

void append(Layout &layout, int count, quint8 value, quint16 missing = 0)
{
    for (int i = 0; i < count; ++i)
        layout.bytes.push_back({value, missing});
}

void appendBytes(Layout &layout, const QByteArray &bytes)
{
    for (const char c : bytes)
        layout.bytes.push_back({quint8(c), 0});
}

QByteArray bigEndian(quint16 value)
{
    QByteArray out;
    out.append(char(value >> 8));
    out.append(char(value & 0xFF));
    return out;
}

Layout trackLayout(const KnownDisk &disk, int track, int side, int trackBytes)
{
    Layout layout;
    layout.dataStart.assign(sectorsPerSide, -1);
    append(layout, 80, 0x4E); // gap 4a
    append(layout, 12, 0x00);
    append(layout, 3, 0xC2, 0x0080); // index mark
    append(layout, 1, 0xFC);
    append(layout, 50, 0x4E); // gap 1
    for (int id = 0; id < sectorsPerSide; ++id) {
        const QByteArray &data = disk.sector(track, side, id);
        if (data.isEmpty())
            continue; // never written
        QByteArray idField("\xA1\xA1\xA1\xFE", 4);
        idField.append(char(track));
        idField.append(char(side));
        idField.append(char(id));
        idField.append(char(1)); // N = 1: 256 bytes
        append(layout, 12, 0x00);
        append(layout, 3, 0xA1, 0x0020);
        appendBytes(layout, idField.mid(3));
        appendBytes(layout, bigEndian(crc16(idField)));
        append(layout, 22, 0x4E); // gap 2
        append(layout, 12, 0x00);
        append(layout, 3, 0xA1, 0x0020);
        QByteArray dataField("\xA1\xA1\xA1\xFB", 4);
        const QByteArray body = data.left(sectorSize) + QByteArray(qMax(0, sectorSize - data.size()), '\0');
        dataField.append(body);
        appendBytes(layout, dataField.mid(3, 1));
        layout.dataStart[size_t(id)] = int(layout.bytes.size());
        appendBytes(layout, body);
        appendBytes(layout, bigEndian(crc16(dataField)));
        append(layout, gap3, 0x4E);
    }
    append(layout, qMax(0, trackBytes - int(layout.bytes.size())), 0x4E); // gap 4b
    layout.bytes.resize(size_t(qMax(16, trackBytes)));
    for (int &start : layout.dataStart)
        if (start + sectorSize + 2 > int(layout.bytes.size()))
            start = -1;
    return layout;
}

// The raw MFM half-cells of the bytes: a 1 is a flux transition.
std::vector<quint8> mfmBits(const std::vector<TrackByte> &bytes)
{
    std::vector<quint8> bits;
    bits.reserve(bytes.size() * 16);
    int previous = 0;
    for (const TrackByte &b : bytes) {
        quint16 word = 0;
        for (int i = 7; i >= 0; --i) {
            const int data = (b.value >> i) & 1;
            const int clock = !(previous | data);
            word = quint16((word << 2) | (clock << 1) | data);
            previous = data;
        }
        word = quint16(word & ~b.missingClock);
        for (int i = 15; i >= 0; --i)
            bits.push_back(quint8((word >> i) & 1));
    }
    return bits;
}

void putLe32(QByteArray &bytes, int at, quint32 value)
{
    for (int i = 0; i < 4; ++i)
        bytes[at + i] = char((value >> (8 * i)) & 0xFF);
}

struct Revolution
{
    QByteArray flux; // 16-bit big-endian cells
    quint32 indexTime = 0;
    quint32 cells = 0;
};

// The flux of one revolution: transitions timed by the reading drive's speed
// (with its wobble) and jitter, counted in 25 ns ticks from the index.
Revolution fluxOf(const std::vector<quint8> &bits, const Options &options, std::mt19937 &random)
{
    std::normal_distribution<double> noise(0.0, options.jitter * halfCellNs);
    Revolution rev;
    double time = 0;
    qint64 lastTick = 0;
    const double count = double(bits.size());
    rev.flux.reserve(int(bits.size() / 2));
    auto putCell = [&rev](qint64 ticks) {
        while (ticks > 0xFFFF) {
            rev.flux.append('\0');
            rev.flux.append('\0');
            ticks -= 0x10000;
            ++rev.cells;
        }
        if (ticks == 0)
            ticks = 1;
        rev.flux.append(char(ticks >> 8));
        rev.flux.append(char(ticks & 0xFF));
        ++rev.cells;
    };
    for (size_t i = 0; i < bits.size(); ++i) {
        const double speed = options.speed * (1.0 + options.drift * std::sin(2 * pi * double(i) / count));
        time += halfCellNs / speed;
        if (!bits[i])
            continue;
        const double at = time + (options.jitter > 0 ? noise(random) : 0.0);
        const qint64 tick = qMax(lastTick + 1, qint64(std::llround(at / tickNs)));
        putCell(tick - lastTick);
        lastTick = tick;
    }
    rev.indexTime = quint32(qMax(lastTick, qint64(std::llround(time / tickNs))));
    return rev;
}

// The track's bytes as this revolution reads them: weak bytes flip a bit at
// their chance, defects read their fixed wrong value.
std::vector<TrackByte> revolutionBytes(const Layout &layout, const KnownDisk &, int track, int side,
                                       const Options &options, std::mt19937 &random)
{
    std::vector<TrackByte> bytes = layout.bytes;
    std::uniform_real_distribution<double> chance(0.0, 1.0);
    for (const Damage &d : options.damage) {
        if (d.track != track || d.side != side || d.sectorId < 0 || d.sectorId >= sectorsPerSide)
            continue;
        const int start = layout.dataStart[size_t(d.sectorId)];
        if (start < 0)
            continue;
        for (int i = qMax(0, d.offset); i < d.offset + d.length && i < sectorSize + 2; ++i) {
            TrackByte &b = bytes[size_t(start + i)];
            if (d.kind == Damage::Kind::Weak && chance(random) < d.chance)
                b.value ^= quint8(1u << (random() % 8));
            else if (d.kind == Damage::Kind::Defect)
                b.value ^= quint8(0x5A ^ (i * 37));
        }
    }
    return bytes;
}

void applyDropouts(std::vector<quint8> &bits, const Layout &layout, int track, int side, const Options &options,
                   std::mt19937 &random)
{
    auto silence = [&bits](long from, long length) {
        for (long i = qMax(0L, from); i < from + length && i < long(bits.size()); ++i)
            bits[size_t(i)] = 0;
    };
    for (const Damage &d : options.damage) {
        if (d.kind != Damage::Kind::Dropout || d.track != track || d.side != side || d.sectorId < 0
            || d.sectorId >= sectorsPerSide)
            continue;
        const int start = layout.dataStart[size_t(d.sectorId)];
        if (start >= 0)
            silence(16L * (start + d.offset), 16L * d.length);
    }
    std::uniform_real_distribution<double> chance(0.0, 1.0);
    if (options.dropoutChance > 0 && chance(random) < options.dropoutChance) {
        const long length = 16L * long(2 + random() % 23);
        silence(long(random() % bits.size()), length);
    }
}

} // namespace

KnownDisk::KnownDisk(int tracks, int sides)
    : tracks(tracks)
    , sides(sides)
    , sectors(tracks * sides * sectorsPerSide, QByteArray(sectorSize, '\0'))
{
}

quint16 crc16(const QByteArray &bytes, quint16 crc)
{
    for (const char c : bytes) {
        crc ^= quint16(quint8(c) << 8);
        for (int i = 0; i < 8; ++i)
            crc = (crc & 0x8000) ? quint16((crc << 1) ^ 0x1021) : quint16(crc << 1);
    }
    return crc;
}

QByteArray writeScp(const KnownDisk &disk, const Options &options)
{
    std::mt19937 random(options.seed);
    const int revolutions = qBound(1, options.revolutions, 255);
    const bool oneSided = disk.sides == 1;
    QByteArray image(headerSize, '\0');
    image[0] = 'S';
    image[1] = 'C';
    image[2] = 'P';
    image[3] = char(0x19); // version 1.9
    image[4] = char(0x80); // disk type: other
    image[5] = char(revolutions);
    image[8] = char(0x01); // flux begins at the index
    image[9] = char(0);    // 16-bit cells
    image[10] = char(oneSided ? 1 : 0);
    image[11] = char(0); // 25 ns
    int firstEntry = -1;
    int lastEntry = -1;
    for (int t = 0; t < disk.tracks; ++t) {
        for (int s = 0; s < disk.sides; ++s) {
            const int entry = oneSided && options.denseOneSided ? t : t * 2 + s;
            if (entry >= tableEntries)
                continue;
            const Layout layout = trackLayout(disk, t, s, options.trackBytes);
            QByteArray header("TRK", 3);
            header.append(char(entry));
            QByteArray flux;
            const int headerBytes = 4 + 12 * revolutions;
            header.resize(headerBytes);
            for (int r = 0; r < revolutions; ++r) {
                std::vector<quint8> bits = mfmBits(revolutionBytes(layout, disk, t, s, options, random));
                applyDropouts(bits, layout, t, s, options, random);
                const Revolution rev = fluxOf(bits, options, random);
                putLe32(header, 4 + 12 * r, rev.indexTime);
                putLe32(header, 8 + 12 * r, rev.cells);
                putLe32(header, 12 + 12 * r, quint32(headerBytes + flux.size()));
                flux.append(rev.flux);
            }
            putLe32(image, 0x10 + 4 * entry, quint32(image.size()));
            image.append(header);
            image.append(flux);
            if (firstEntry < 0)
                firstEntry = entry;
            lastEntry = entry;
        }
    }
    image[6] = char(qMax(0, firstEntry));
    image[7] = char(qMax(0, lastEntry));
    quint32 sum = 0;
    for (int i = 0x10; i < image.size(); ++i)
        sum += quint8(image.at(i));
    putLe32(image, 0x0C, sum);
    return image;
}

} // namespace fluxwriter
