#include "merge.h"

#include "disk/geometry.h"

#include <cstring>

using geometry::sectorSize;
using geometry::sectorsPerSide;

namespace {

struct Copy
{
    int read;
    const char *bytes;
};

// The copy whose whole value most others share; the earliest on a tie.
int mostAgreed(const QVector<Copy> &copies, int &agreeing)
{
    int best = 0;
    agreeing = 0;
    for (int c = 0; c < copies.size(); ++c) {
        int count = 0;
        for (const Copy &other : copies)
            count += std::memcmp(copies.at(c).bytes, other.bytes, sectorSize) == 0;
        if (count > agreeing) {
            agreeing = count;
            best = c;
        }
    }
    return best;
}

// Byte by byte, the value most copies hold; the earliest copy's on a tie.
void byteMajority(const QVector<Copy> &copies, char *out)
{
    for (int i = 0; i < sectorSize; ++i) {
        int bestCount = 0;
        for (const Copy &copy : copies) {
            int count = 0;
            for (const Copy &other : copies)
                count += other.bytes[i] == copy.bytes[i];
            if (count > bestCount) {
                bestCount = count;
                out[i] = copy.bytes[i];
            }
        }
    }
}

struct Tally
{
    int good = 0;
    int suspect = 0;
};

} // namespace

PhysicalDisk mergeReads(const QVector<PhysicalDisk> &reads, const QStringList &names, const LogSink &log)
{
    int tracks = 0;
    int sides = 0;
    for (const PhysicalDisk &read : reads) {
        tracks = qMax(tracks, read.tracks);
        sides = qMax(sides, read.sides);
    }
    PhysicalDisk merged(tracks, sides);
    SectorTable &out = merged.sectors;
    QVector<Tally> supplied(reads.size());
    int conflicts = 0;

    for (int t = 0; t < merged.tracks; ++t) {
        for (int s = 0; s < merged.sides; ++s) {
            for (int id = 0; id < sectorsPerSide; ++id) {
                const int p = PhysicalDisk::place(t, s, id);
                QVector<Copy> good;
                QVector<Copy> suspect;
                for (int r = 0; r < reads.size(); ++r) {
                    const PhysicalDisk &read = reads.at(r);
                    if (t >= read.tracks || s >= read.sides)
                        continue;
                    const Copy copy{r, read.sectors.sectorData(p)};
                    const SectorState state = read.sectors.state(p);
                    if (state == SectorState::Good)
                        good << copy;
                    else if (state == SectorState::Suspect)
                        suspect << copy;
                }
                char *bytes = out.sectorDataForWrite(p);
                if (!good.isEmpty()) {
                    int agreeing = 0;
                    const Copy &chosen = good.at(mostAgreed(good, agreeing));
                    std::memcpy(bytes, chosen.bytes, sectorSize);
                    const bool conflict = agreeing < good.size();
                    out.setRead(p, conflict ? SectorState::Suspect : SectorState::Good, agreeing, chosen.read + 1);
                    ++supplied[chosen.read].good;
                    if (conflict) {
                        ++conflicts;
                        log(LogEntry::warning().text(
                            QStringLiteral("Track %1 side %2 sector id %3: good reads disagree; the value %4 of %5 "
                                           "agree on is kept as suspect")
                                .arg(t)
                                .arg(s)
                                .arg(id)
                                .arg(agreeing)
                                .arg(good.size())));
                    }
                } else if (!suspect.isEmpty()) {
                    byteMajority(suspect, bytes);
                    int agreeing = 0;
                    for (const Copy &copy : suspect)
                        agreeing += std::memcmp(copy.bytes, bytes, sectorSize) == 0;
                    out.setRead(p, SectorState::Suspect, agreeing, suspect.first().read + 1);
                    ++supplied[suspect.first().read].suspect;
                }
            }
        }
    }

    int bestSingle = 0;
    for (int r = 0; r < reads.size(); ++r) {
        const int good = reads.at(r).sectors.countOf(SectorState::Good);
        bestSingle = qMax(bestSingle, good);
        log(LogEntry::info().text(QStringLiteral("Read %1 (%2): %3 good sector(s); supplied %4 good and %5 suspect")
                                      .arg(r + 1)
                                      .arg(names.value(r))
                                      .arg(good)
                                      .arg(supplied.at(r).good)
                                      .arg(supplied.at(r).suspect)));
    }
    const int good = out.countOf(SectorState::Good);
    const int suspectCount = out.countOf(SectorState::Suspect);
    log(LogEntry::info().text(
        QStringLiteral("Merged %1 reads: %2 good, %3 suspect, %4 missing sector(s); %5 good sector(s) more than the "
                       "best single read; %6 conflict(s)")
            .arg(reads.size())
            .arg(good)
            .arg(suspectCount)
            .arg(merged.tracks * merged.sides * sectorsPerSide - good - suspectCount)
            .arg(good - bestSingle)
            .arg(conflicts)));
    return merged;
}
