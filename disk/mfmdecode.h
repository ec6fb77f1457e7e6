#pragma once

#include <QByteArray>

#include <array>
#include <vector>

// MFM decoding of one revolution of one track side: the cell period found
// from the flux itself, followed through speed drift by a software PLL,
// address marks found by their sync pattern (A1 A1 A1 with its missing
// clock), ID and data fields read and their CRC-16 checked.
namespace mfm {

constexpr int sectorSize = 256;
constexpr int fieldSize = sectorSize + 2; // the data and its CRC as read
constexpr int sectorsPerSide = 16;

// CRC-16-CCITT (0x1021, start 0xFFFF). Over a whole field, mark and CRC
// included, a good field gives 0.
quint16 crc16(const uchar *bytes, int size, quint16 crc = 0xFFFF);
// The CRC after the three A1 sync bytes, where every field's CRC starts.
constexpr quint16 afterSync = 0xCDB4;

// One sector as one revolution read it.
struct SectorCopy
{
    enum class State : char { Missing, Good, DataError };
    State state = State::Missing;
    quint8 mark = 0;  // data address mark: FB, or F8 for deleted data
    std::array<uchar, fieldSize> field{}; // 256 data bytes and the two CRC bytes
};

struct RevolutionRead
{
    std::array<SectorCopy, sectorsPerSide> sectors;
    double halfCellNs = 0;  // found from the flux; 0 when none was
    int wrongTrackIds = 0;  // good ID fields that name another cylinder
    int wrongSideIds = 0;   // ... or another side
    int otherIds = 0;       // good ID fields of ids beyond 15 or sizes other than 256 bytes
    int idFields = 0;       // good ID fields of this track side
};

// The half-cell length the flux shows, in nanoseconds: half the most common
// shortest interval; 0 when no MFM cell length shows.
double findHalfCell(const std::vector<quint32> &ticks, double tickNs);

// Decodes one revolution of cylinder and side from its intervals in ticks.
// bits is scratch, reused from call to call. halfCellNs: the cell length
// another revolution of the track showed; 0 finds it from this one.
RevolutionRead decodeRevolution(const std::vector<quint32> &ticks, double tickNs, int cylinder, int side,
                                std::vector<uchar> &bits, double halfCellNs = 0);

} // namespace mfm
