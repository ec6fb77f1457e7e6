#include "fluxdisk.h"

#include "fluxrepair.h"
#include "mfmdecode.h"
#include "scpread.h"

#include <cstring>

using geometry::sectorSize;
using geometry::sectorsPerSide;

namespace {

constexpr int maxSingleSidedTracks = 42;

using Copies = std::vector<const mfm::SectorCopy *>;

// Places in a disk of the largest geometry an SCP table can hold.
constexpr int maxCylinders = scpTableEntries;

bool sameData(const mfm::SectorCopy *a, const mfm::SectorCopy *b)
{
    return std::memcmp(a->field.data(), b->field.data(), sectorSize) == 0;
}

int agreeingWith(const Copies &copies, const uchar *data)
{
    int agreeing = 0;
    for (const mfm::SectorCopy *copy : copies)
        agreeing += std::memcmp(copy->field.data(), data, sectorSize) == 0;
    return agreeing;
}

struct Tally
{
    int goodFirst = 0;
    int goodAny = 0;
    int repaired = 0;
    int suspect = 0;
    int missing = 0;
    int conflicts = 0;
};

// Everything the decoding of the image found, by place of the largest disk.
struct FluxDecode
{
    PhysicalDisk disk{maxCylinders, geometry::maxSides};
    QByteArray goodFirst = QByteArray(maxCylinders * geometry::placesPerTrack, '\0');
    int lastCylinder = -1; // the last cylinder with a good ID field
    bool secondSide = false;
    double halfCellNs = 0;
    QVector<LogEntry> notes;
};

// One sector from the copies of every revolution.
void combine(FluxDecode &out, int track, int side, int id, const Copies &good, const Copies &bad, int supplier)
{
    const int place = PhysicalDisk::place(track, side, id);
    char *bytes = out.disk.sectors.sectorDataForWrite(place);
    if (!good.empty()) {
        // The value most good revolutions agree on; the earliest on a tie.
        const mfm::SectorCopy *best = good.front();
        int bestCount = 0;
        for (const mfm::SectorCopy *candidate : good) {
            int count = 0;
            for (const mfm::SectorCopy *other : good)
                count += sameData(candidate, other);
            if (count > bestCount) {
                best = candidate;
                bestCount = count;
            }
            if (bestCount * 2 > int(good.size()))
                break;
        }
        std::memcpy(bytes, best->field.data(), sectorSize);
        const bool conflict = bestCount < int(good.size());
        out.disk.sectors.setRead(place, conflict ? SectorState::Suspect : SectorState::Good, bestCount, supplier);
        if (conflict)
            out.notes << LogEntry::warning().text(
                QStringLiteral("Track %1 side %2 sector id %3: good revolutions disagree; the value %4 of %5 agree "
                               "on is kept as suspect")
                    .arg(track)
                    .arg(side)
                    .arg(id)
                    .arg(bestCount)
                    .arg(int(good.size())));
        return;
    }
    if (bad.empty())
        return;
    const fluxrepair::Result repair = fluxrepair::repair(bad);
    std::memcpy(bytes, repair.field.data(), sectorSize);
    const int agreeing = agreeingWith(bad, repair.field.data());
    out.disk.sectors.setRead(place, repair.repaired ? SectorState::Repaired : SectorState::Suspect, agreeing,
                             supplier);
    if (repair.repaired)
        out.notes << LogEntry::info().text(
            QStringLiteral("Track %1 side %2 sector id %3: repaired from %4 data-error copies, proven by its CRC "
                           "(%5 candidate(s) tried)")
                .arg(track)
                .arg(side)
                .arg(id)
                .arg(int(bad.size()))
                .arg(repair.candidates));
}

// What the decoding of one track after another reuses.
struct Scratch
{
    std::vector<quint32> intervals;
    std::vector<uchar> bits;
    std::vector<mfm::RevolutionRead> revolutions;
};

void decodeTrack(const ScpImage &image, const ScpTrack &track, int supplier, FluxDecode &out, Scratch &scratch)
{
    std::vector<mfm::RevolutionRead> &revolutions = scratch.revolutions;
    revolutions.clear();
    int wrongTrack = 0;
    bool ids = false;
    double halfCell = 0; // the cell length the track showed, once found
    for (const ScpRevolution &revolution : track.revolutions) {
        scpIntervals(image, revolution, scratch.intervals);
        revolutions.push_back(mfm::decodeRevolution(scratch.intervals, image.tickNs, track.cylinder, track.side,
                                                    scratch.bits, halfCell));
        const mfm::RevolutionRead &read = revolutions.back();
        if (read.idFields > 0)
            halfCell = read.halfCellNs;
        wrongTrack += read.wrongTrackIds;
        ids = ids || read.idFields > 0;
        if (out.halfCellNs <= 0 && read.idFields > 0)
            out.halfCellNs = read.halfCellNs;
    }
    if (wrongTrack > 0)
        out.notes << LogEntry::warning().text(
            QStringLiteral("Track %1 side %2: %3 ID field(s) name another track; read from the wrong track, left out")
                .arg(track.cylinder)
                .arg(track.side)
                .arg(wrongTrack));
    if (!ids)
        return;
    out.lastCylinder = qMax(out.lastCylinder, track.cylinder);
    out.secondSide = out.secondSide || track.side == 1;
    Copies good;
    Copies bad;
    for (int id = 0; id < sectorsPerSide; ++id) {
        good.clear();
        bad.clear();
        for (const mfm::RevolutionRead &read : revolutions) {
            const mfm::SectorCopy &copy = read.sectors[size_t(id)];
            if (copy.state == mfm::SectorCopy::State::Good)
                good.push_back(&copy);
            else if (copy.state == mfm::SectorCopy::State::DataError)
                bad.push_back(&copy);
        }
        const int place = PhysicalDisk::place(track.cylinder, track.side, id);
        out.goodFirst[place] = char(!revolutions.empty()
                                    && revolutions.front().sectors[size_t(id)].state == mfm::SectorCopy::State::Good);
        combine(out, track.cylinder, track.side, id, good, bad, supplier);
    }
}

} // namespace

DiskRead readFluxBytes(const QByteArray &bytes, const QString &, const ReadOptions &options, const LogEntry &opening)
{
    DiskRead read;
    read.entries << opening;
    const ScpImage image = readScp(bytes);
    if (!image.ok()) {
        read.refusal = DiskRead::Refusal::BadFlux;
        read.entries << LogEntry::error().text(QStringLiteral("Not a readable SCP flux image: %1").arg(image.reason));
        return read;
    }
    read.entries << LogEntry::info()
                        .text(QStringLiteral("Detected "))
                        .strong(QStringLiteral("SCP"))
                        .text(QStringLiteral(" flux image: %1 revolution(s), %2 track side(s)")
                                  .arg(image.revolutions)
                                  .arg(image.tracks.size()));
    if (!image.warning.isEmpty())
        read.entries << LogEntry::warning().text(image.warning);

    FluxDecode decoded;
    Scratch scratch;
    for (const ScpTrack &track : image.tracks)
        if (track.cylinder < maxCylinders && track.side < geometry::maxSides)
            decodeTrack(image, track, options.supplier, decoded, scratch);
    if (decoded.lastCylinder < 0) {
        read.refusal = DiskRead::Refusal::NotTos;
        read.entries << LogEntry::error().text(QStringLiteral("Not a TOS disk : no MFM sector found in the flux"));
        return read;
    }
    const int tracks = decoded.lastCylinder + 1;
    const int sides = decoded.secondSide ? 2 : 1;
    if (sides == 1 && tracks > maxSingleSidedTracks) {
        read.refusal = DiskRead::Refusal::NotTos;
        read.entries << LogEntry::error().text(QStringLiteral("Not a TOS disk : one side and more than 42 tracks..."));
        return read;
    }
    read.entries << LogEntry::info()
                        .text(QStringLiteral("MFM cell %1 us (%2 kbit/s)")
                                  .arg(2 * decoded.halfCellNs / 1000, 0, 'f', 2)
                                  .arg(1e6 / (2 * decoded.halfCellNs), 0, 'f', 0))
                        .lineBreak()
                        .text(QStringLiteral("tracks: %1").arg(tracks))
                        .lineBreak()
                        .text(QStringLiteral("sides: %1").arg(sides));
    read.entries += decoded.notes;

    read.disk = PhysicalDisk(tracks, sides);
    Tally tally;
    for (int t = 0; t < tracks; ++t)
        for (int s = 0; s < sides; ++s)
            for (int id = 0; id < sectorsPerSide; ++id) {
                const int place = PhysicalDisk::place(t, s, id);
                const SectorTable &from = decoded.disk.sectors;
                const SectorState state = from.state(place);
                std::memcpy(read.disk.sectors.sectorDataForWrite(place), from.sectorData(place), sectorSize);
                read.disk.sectors.setRead(place, state, from.agreeing(place), from.supplier(place));
                tally.goodFirst += decoded.goodFirst.at(place) != 0;
                tally.goodAny += state == SectorState::Good;
                tally.repaired += state == SectorState::Repaired;
                tally.suspect += state == SectorState::Suspect;
                tally.missing += state == SectorState::Missing;
            }
    const int total = tracks * sides * sectorsPerSide;
    read.missing = tally.missing;
    read.entries << LogEntry::info().text(QStringLiteral("sectors (calculated): %1").arg(total));
    read.entries << LogEntry::info().text(QStringLiteral("sectors (imported)  : %1").arg(total - tally.missing));
    const int stillBad = tally.suspect + tally.missing;
    read.entries << (stillBad > 0 ? LogEntry::warning() : LogEntry::info()).text(
        QStringLiteral("Flux: %1 revolution(s); %2 sector(s) good in revolution 1, %3 good after all revolutions, "
                       "%4 repaired, %5 still bad (%6 suspect, %7 missing)")
            .arg(image.revolutions)
            .arg(tally.goodFirst)
            .arg(tally.goodAny)
            .arg(tally.repaired)
            .arg(stillBad)
            .arg(tally.suspect)
            .arg(tally.missing));
    read.refusal = DiskRead::Refusal::None;
    return read;
}
