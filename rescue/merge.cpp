#include "merge.h"

#include "disk/geometry.h"

#include <QHashFunctions>

#include <cstring>
#include <unordered_map>
#include <vector>

using geometry::sectorSize;
using geometry::sectorsPerSide;

namespace {

struct Copy
{
    int read;
    const char *bytes;
    bool repaired; // not read cleanly: made from bad copies and proven by its CRC
};

// Copies that hold one value: the earliest of them and how many they are.
struct Group
{
    int first;
    int count;
    int nextSameHash; // the next group whose value has the same hash, or -1
};

// What the merge of one place works with, kept from place to place so that
// a merge of many reads does not allocate for every sector.
struct PlaceScratch
{
    std::vector<Copy> good;
    std::vector<Copy> suspect;
    std::vector<Group> groups;
    std::unordered_map<uint, int> groupOfHash; // the first group of each hash
};

// The copies grouped by their whole value, groups in the order of their
// first copy: each copy is hashed once and compared in full only with the
// groups of its hash, so the time is linear in the number of copies.
void groupByValue(const std::vector<Copy> &copies, PlaceScratch &scratch)
{
    std::vector<Group> &groups = scratch.groups;
    groups.clear();
    scratch.groupOfHash.clear();
    for (int c = 0; c < int(copies.size()); ++c) {
        const char *bytes = copies[size_t(c)].bytes;
        const uint hash = qHashBits(bytes, sectorSize);
        const auto head = scratch.groupOfHash.find(hash);
        int g = head == scratch.groupOfHash.end() ? -1 : head->second;
        int last = -1;
        while (g >= 0 && std::memcmp(copies[size_t(groups[size_t(g)].first)].bytes, bytes, sectorSize) != 0) {
            last = g;
            g = groups[size_t(g)].nextSameHash;
        }
        if (g < 0) {
            g = int(groups.size());
            groups.push_back(Group{c, 0, -1});
            if (last >= 0)
                groups[size_t(last)].nextSameHash = g;
            else
                scratch.groupOfHash.emplace(hash, g);
        }
        ++groups[size_t(g)].count;
    }
}

// The copy whose whole value most others share; the earliest on a tie.
int mostAgreed(const std::vector<Copy> &copies, PlaceScratch &scratch, int &agreeing)
{
    // Most often every copy holds one value.
    size_t same = 1;
    while (same < copies.size() && std::memcmp(copies[same].bytes, copies.front().bytes, sectorSize) == 0)
        ++same;
    if (same == copies.size()) {
        agreeing = int(copies.size());
        return 0;
    }
    groupByValue(copies, scratch);
    // Groups come in the order of their first copy, so the first group of
    // the largest size holds the earliest copy of a most agreed value.
    const Group *best = &scratch.groups.front();
    for (const Group &group : scratch.groups)
        if (group.count > best->count)
            best = &group;
    agreeing = best->count;
    return best->first;
}

// Byte by byte, the value most copies hold; the earliest copy's on a tie.
void byteMajority(const std::vector<Copy> &copies, char *out)
{
    int counts[256] = {};
    for (int i = 0; i < sectorSize; ++i) {
        int most = 0;
        for (const Copy &copy : copies)
            most = qMax(most, ++counts[uchar(copy.bytes[i])]);
        for (const Copy &copy : copies) {
            if (counts[uchar(copy.bytes[i])] == most) {
                out[i] = copy.bytes[i];
                break;
            }
        }
        for (const Copy &copy : copies)
            counts[uchar(copy.bytes[i])] = 0;
    }
}

// Every byte the same.
bool isBlank(const char *bytes)
{
    return std::memcmp(bytes, bytes + 1, sectorSize - 1) == 0;
}

struct Tally
{
    int good = 0;
    int suspect = 0;
};

} // namespace

MergeCheck compareReads(const PhysicalDisk &a, const PhysicalDisk &b)
{
    MergeCheck check;
    const int tracks = qMin(a.tracks, b.tracks);
    const int sides = qMin(a.sides, b.sides);
    for (int t = 0; t < tracks; ++t) {
        for (int s = 0; s < sides; ++s) {
            for (int id = 0; id < sectorsPerSide; ++id) {
                const int p = PhysicalDisk::place(t, s, id);
                if (a.sectors.state(p) != SectorState::Good || b.sectors.state(p) != SectorState::Good)
                    continue;
                const char *first = a.sectors.sectorData(p);
                const char *second = b.sectors.sectorData(p);
                if (std::memcmp(first, second, sectorSize) != 0)
                    ++check.differing;
                else if (isBlank(first))
                    continue;
                ++check.shared;
            }
        }
    }
    return check;
}

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
    PlaceScratch scratch;
    std::vector<Copy> &goodCopies = scratch.good;
    std::vector<Copy> &suspectCopies = scratch.suspect;

    for (int t = 0; t < merged.tracks; ++t) {
        for (int s = 0; s < merged.sides; ++s) {
            for (int id = 0; id < sectorsPerSide; ++id) {
                const int p = PhysicalDisk::place(t, s, id);
                goodCopies.clear();
                suspectCopies.clear();
                for (int r = 0; r < reads.size(); ++r) {
                    const PhysicalDisk &read = reads.at(r);
                    if (t >= read.tracks || s >= read.sides)
                        continue;
                    const SectorState state = read.sectors.state(p);
                    const Copy copy{r, read.sectors.sectorData(p), state == SectorState::Repaired};
                    if (isClean(state))
                        goodCopies.push_back(copy);
                    else if (state == SectorState::Suspect)
                        suspectCopies.push_back(copy);
                }
                char *bytes = out.sectorDataForWrite(p);
                if (!goodCopies.empty()) {
                    int agreeing = 0;
                    const Copy chosen = goodCopies[size_t(mostAgreed(goodCopies, scratch, agreeing))];
                    std::memcpy(bytes, chosen.bytes, sectorSize);
                    const bool conflict = agreeing < int(goodCopies.size());
                    // A value that only repaired copies hold stays repaired.
                    bool readCleanly = false;
                    for (const Copy &copy : goodCopies)
                        readCleanly = readCleanly
                                      || (!copy.repaired && std::memcmp(copy.bytes, chosen.bytes, sectorSize) == 0);
                    const SectorState clean = readCleanly ? SectorState::Good : SectorState::Repaired;
                    out.setRead(p, conflict ? SectorState::Suspect : clean, agreeing, chosen.read + 1);
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
                                .arg(int(goodCopies.size()))));
                    }
                } else if (!suspectCopies.empty()) {
                    byteMajority(suspectCopies, bytes);
                    int agreeing = 0;
                    for (const Copy &copy : suspectCopies)
                        agreeing += std::memcmp(copy.bytes, bytes, sectorSize) == 0;
                    out.setRead(p, SectorState::Suspect, agreeing, suspectCopies.front().read + 1);
                    ++supplied[suspectCopies.front().read].suspect;
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
