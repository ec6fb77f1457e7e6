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
    PhysicalDisk merged;
    for (const PhysicalDisk &read : reads) {
        merged.tracks = qMax(merged.tracks, read.tracks);
        merged.sides = qMax(merged.sides, read.sides);
    }
    const int places = merged.places();
    merged.data = QByteArray(places * sectorSize, '\0');
    merged.states = QByteArray(places, '\0');
    merged.agreement = QByteArray(places, '\0');
    merged.supplier = QByteArray(places, '\0');
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
                    const Copy copy{r, read.data.constData() + p * sectorSize};
                    const int state = read.state(t, s, id);
                    if (state == 1)
                        good << copy;
                    else if (state == 2)
                        suspect << copy;
                }
                char *out = merged.data.data() + p * sectorSize;
                if (!good.isEmpty()) {
                    int agreeing = 0;
                    const Copy &chosen = good.at(mostAgreed(good, agreeing));
                    std::memcpy(out, chosen.bytes, sectorSize);
                    const bool conflict = agreeing < good.size();
                    merged.states[p] = char(conflict ? 2 : 1);
                    merged.agreement[p] = char(qMin(255, agreeing));
                    merged.supplier[p] = char(chosen.read + 1);
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
                    byteMajority(suspect, out);
                    int agreeing = 0;
                    for (const Copy &copy : suspect)
                        agreeing += std::memcmp(copy.bytes, out, sectorSize) == 0;
                    merged.states[p] = char(2);
                    merged.agreement[p] = char(qMin(255, agreeing));
                    merged.supplier[p] = char(suspect.first().read + 1);
                    ++supplied[suspect.first().read].suspect;
                }
            }
        }
    }

    int bestSingle = 0;
    for (int r = 0; r < reads.size(); ++r) {
        int good = 0;
        for (char state : reads.at(r).states)
            good += state == 1;
        bestSingle = qMax(bestSingle, good);
        log(LogEntry::info().text(QStringLiteral("Read %1 (%2): %3 good sector(s); supplied %4 good and %5 suspect")
                                      .arg(r + 1)
                                      .arg(names.value(r))
                                      .arg(good)
                                      .arg(supplied.at(r).good)
                                      .arg(supplied.at(r).suspect)));
    }
    int good = 0;
    int suspectCount = 0;
    for (char state : merged.states) {
        good += state == 1;
        suspectCount += state == 2;
    }
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
