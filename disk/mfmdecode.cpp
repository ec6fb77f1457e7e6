#include "mfmdecode.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace mfm {

namespace {

// Three A1 bytes with their missing clock: no data can make this pattern.
constexpr quint64 syncPattern = 0x448944894489ull;
constexpr quint64 syncMask = (quint64(1) << 48) - 1;
constexpr int rawBitsPerByte = 16;
// A data field belongs to the ID field before it when its mark follows
// within this many bytes (gap 2 and its sync are 34 bytes on a standard
// track; some formatters write more).
constexpr int dataAfterIdBytes = 7 + 70;
// No MFM interval is longer than 4 half-cells: a longer one is a dropout.
constexpr int longestCells = 8;
// One revolution never decodes to more half-cells than this.
constexpr size_t maxBits = size_t(1) << 20;

struct CrcTable
{
    quint16 entries[256];
    CrcTable()
    {
        for (int i = 0; i < 256; ++i) {
            quint16 crc = quint16(i << 8);
            for (int b = 0; b < 8; ++b)
                crc = (crc & 0x8000) ? quint16((crc << 1) ^ 0x1021) : quint16(crc << 1);
            entries[i] = crc;
        }
    }
};

const CrcTable crcTable;

uchar byteAt(const std::vector<uchar> &bits, size_t pos)
{
    // The data bits are every second half-cell, after each clock bit.
    uchar value = 0;
    for (int k = 0; k < 8; ++k)
        value = uchar((value << 1) | bits[pos + 2 * size_t(k) + 1]);
    return value;
}

// The half-cells of one revolution, by a PLL: each interval becomes the
// whole number of cells nearest to it, and the cell period and phase follow
// the error, so a drifting speed is tracked. Where the sync pattern of
// three A1 marks ends (always on a transition), the position after it is
// noted. bits gets one byte per half-cell.
void recoverBits(const std::vector<quint32> &ticks, double tickNs, double halfCell, std::vector<uchar> &bits,
                 std::vector<size_t> &syncs)
{
    syncs.clear();
    constexpr size_t slack = 4096 + 8;
    size_t room = std::min(maxBits, size_t(ticks.size()) * 4 + 64);
    bits.resize(room + slack);
    uchar *out = bits.data();
    size_t n = 0;
    // Fixed point: ticks times 2^16, so that the loop runs on integers.
    constexpr int fraction = 16;
    const qint64 nominal = qint64(std::llround(halfCell / tickNs * (1 << fraction)));
    const qint64 slowest = nominal * 115 / 100;
    const qint64 fastest = nominal * 85 / 100;
    // The frequency gain, 0.04 per cell of the interval.
    static const qint64 gain[longestCells + 1] = {0, 2621, 1311, 874, 655, 524, 437, 374, 328};
    qint64 period = nominal;
    qint64 carry = 0;
    quint64 shift = 0;
    for (const quint32 t : ticks) {
        const qint64 x = (qint64(t) << fraction) + carry;
        const qint64 twice = 2 * x;
        if (twice < period) {
            // A spurious transition: its time joins the next one.
            carry = x;
            continue;
        }
        // The nearest whole number of cells, by comparisons rather than a
        // division: x >= (k + 0.5) periods.
        size_t cells = 1 + (twice >= 3 * period) + (twice >= 5 * period) + (twice >= 7 * period)
                       + (twice >= 9 * period) + (twice >= 11 * period) + (twice >= 13 * period)
                       + (twice >= 15 * period);
        if (twice >= 17 * period) {
            // A dropout: the clock keeps its period, its phase starts anew.
            cells = size_t(std::min<qint64>(4096, (x + period / 2) / period));
            carry = 0;
        } else {
            const qint64 error = x - qint64(cells) * period;
            period = std::min(slowest, std::max(fastest, period + ((error * gain[cells]) >> fraction)));
            carry = error / 2;
        }
        if (n + cells > room) {
            // Dropouts made more cells than the intervals promised.
            if (room >= maxBits)
                break;
            room = std::min(maxBits, room * 2);
            bits.resize(room + slack);
            out = bits.data();
            if (n + cells > room)
                break;
        }
        if (cells <= 8)
            std::memset(out + n, 0, 8);
        else
            std::memset(out + n, 0, cells);
        n += cells;
        out[n - 1] = 1;
        shift = cells >= 64 ? 1 : ((shift << cells) | 1);
        if ((shift & syncMask) == syncPattern)
            syncs.push_back(n);
    }
    bits.resize(n);
}

} // namespace

quint16 crc16(const uchar *bytes, int size, quint16 crc)
{
    for (int i = 0; i < size; ++i)
        crc = quint16((crc << 8) ^ crcTable.entries[(crc >> 8) ^ bytes[i]]);
    return crc;
}

double findHalfCell(const std::vector<quint32> &ticks, double tickNs)
{
    // Histogram of intervals in 50 ns bins up to 16 µs.
    constexpr double binNs = 50;
    constexpr int bins = 320;
    int histogram[bins] = {};
    int counted = 0;
    for (const quint32 t : ticks) {
        const double ns = double(t) * tickNs;
        if (ns < bins * binNs) {
            ++histogram[int(ns / binNs)];
            ++counted;
        }
    }
    if (counted < 64)
        return 0;
    int most = 0;
    for (const int c : histogram)
        most = std::max(most, c);
    // The shortest interval that is common, climbed to its peak: two
    // half-cells.
    int b = 0;
    while (b < bins && histogram[b] * 8 < most)
        ++b;
    while (b + 1 < bins && histogram[b + 1] >= histogram[b])
        ++b;
    const double peak = (b + 0.5) * binNs;
    double sum = 0;
    int n = 0;
    for (const quint32 t : ticks) {
        const double ns = double(t) * tickNs;
        if (ns > peak * 0.8 && ns < peak * 1.2) {
            sum += ns;
            ++n;
        }
    }
    const double halfCell = n > 0 ? sum / n / 2 : 0;
    // From high density (1 µs) to a slow double-density drive (about 2.5 µs).
    return halfCell >= 600 && halfCell <= 3500 ? halfCell : 0;
}

RevolutionRead decodeRevolution(const std::vector<quint32> &ticks, double tickNs, int cylinder, int side,
                                std::vector<uchar> &bits, double halfCellNs)
{
    RevolutionRead read;
    read.halfCellNs = halfCellNs > 0 ? halfCellNs : findHalfCell(ticks, tickNs);
    if (read.halfCellNs <= 0)
        return read;
    std::vector<size_t> syncs;
    recoverBits(ticks, tickNs, read.halfCellNs, bits, syncs);

    const size_t n = bits.size();
    int pendingId = -1;   // the sector id of the last good ID field, -1: none
    size_t pendingAt = 0; // where that ID field's mark began
    uchar buffer[1 + fieldSize];
    size_t i = 0; // where the search goes on: a field read is not searched
    for (const size_t sync : syncs) {
        // A sync needs 48 half-cells of its own after what was read.
        if (sync < i + 48)
            continue;
        i = sync;
        if (i + rawBitsPerByte > n)
            break;
        const uchar mark = byteAt(bits, i);
        if (mark == 0xFE) {
            if (i + 7 * rawBitsPerByte > n)
                break;
            for (int k = 0; k < 7; ++k)
                buffer[k] = byteAt(bits, i + size_t(k) * rawBitsPerByte);
            pendingId = -1;
            if (crc16(buffer, 7, afterSync) == 0) {
                const int c = buffer[1], h = buffer[2], r = buffer[3], size = buffer[4];
                if (c != cylinder)
                    ++read.wrongTrackIds;
                else if (h != side)
                    ++read.wrongSideIds;
                else if (r >= sectorsPerSide || size != 1)
                    ++read.otherIds;
                else {
                    ++read.idFields;
                    pendingId = r;
                    pendingAt = i;
                }
            }
            i += 7 * rawBitsPerByte;
        } else if (mark == 0xFB || mark == 0xF8) {
            const bool belongs = pendingId >= 0 && i - pendingAt <= size_t(dataAfterIdBytes) * rawBitsPerByte;
            if (belongs && i + (1 + fieldSize) * size_t(rawBitsPerByte) <= n) {
                for (int k = 0; k < 1 + fieldSize; ++k)
                    buffer[k] = byteAt(bits, i + size_t(k) * rawBitsPerByte);
                SectorCopy &copy = read.sectors[size_t(pendingId)];
                const bool good = crc16(buffer, 1 + fieldSize, afterSync) == 0;
                // A sector met twice in one revolution keeps a good copy, or
                // else its first.
                if (copy.state == SectorCopy::State::Missing || (good && copy.state != SectorCopy::State::Good)) {
                    copy.state = good ? SectorCopy::State::Good : SectorCopy::State::DataError;
                    copy.mark = mark;
                    std::copy(buffer + 1, buffer + 1 + fieldSize, copy.field.begin());
                }
                i += (1 + fieldSize) * size_t(rawBitsPerByte);
            } else {
                i += rawBitsPerByte;
            }
            pendingId = -1;
        } else {
            i -= 48; // another mark: the search goes on right after it
        }
    }
    return read;
}

} // namespace mfm
