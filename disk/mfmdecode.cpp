#include "mfmdecode.h"

#include <cmath>

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
// the error, so a drifting speed is tracked.
void recoverBits(const std::vector<quint32> &ticks, double tickNs, double halfCell, std::vector<uchar> &bits)
{
    bits.clear();
    double period = halfCell;
    double carry = 0;
    const double slowest = halfCell * 1.15;
    const double fastest = halfCell * 0.85;
    for (const quint32 t : ticks) {
        const double x = double(t) * tickNs + carry;
        if (x < 0.5 * period) {
            // A spurious transition: its time joins the next one.
            carry = x;
            continue;
        }
        double cells = std::floor(x / period + 0.5);
        if (cells > longestCells) {
            // A dropout: the clock keeps its period, its phase starts anew.
            cells = std::min(cells, 4096.0);
            carry = 0;
        } else {
            const double error = x - cells * period;
            period = std::min(slowest, std::max(fastest, period + 0.04 * error / cells));
            carry = 0.5 * error;
        }
        const size_t n = size_t(cells);
        if (bits.size() + n > maxBits)
            return;
        bits.insert(bits.end(), n - 1, uchar(0));
        bits.push_back(1);
    }
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
                                std::vector<uchar> &bits)
{
    RevolutionRead read;
    read.halfCellNs = findHalfCell(ticks, tickNs);
    if (read.halfCellNs <= 0)
        return read;
    recoverBits(ticks, tickNs, read.halfCellNs, bits);

    const size_t n = bits.size();
    quint64 shift = 0;
    int pendingId = -1;   // the sector id of the last good ID field, -1: none
    size_t pendingAt = 0; // where that ID field's mark began
    uchar buffer[1 + fieldSize];
    for (size_t i = 0; i < n;) {
        shift = ((shift << 1) | bits[i++]) & syncMask;
        if (shift != syncPattern)
            continue;
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
            shift = 0;
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
            shift = 0;
        }
    }
    return read;
}

} // namespace mfm
