#pragma once

#include "disk/logentry.h"
#include "disk/physicaldisk.h"

#include <QStringList>
#include <QVector>

// Merges several reads of one disk, sector by sector:
// - a good copy wins; good copies that disagree are a conflict: the value
//   most good reads agree on (the earliest read's on a tie), suspect, with a
//   log entry;
// - without a good copy, the byte-wise majority of the suspect copies,
//   suspect;
// - otherwise missing.
// Reads of fewer tracks supply nothing for the tracks they lack. The reads
// must have the same number of sides (checked by the caller). The log says
// what each read supplied and what the merge gained over the best read.
// Time grows linearly with the number of reads.
PhysicalDisk mergeReads(const QVector<PhysicalDisk> &reads, const QStringList &names, const LogSink &log);

// How two reads compare where both hold a good sector: whether they can be
// reads of one disk. Sectors blank in both (every byte the same, the same
// in both, as a fresh format leaves them) say nothing about which disk was
// read and are left out.
struct MergeCheck
{
    int shared = 0;    // places good in both reads and not blank in both
    int differing = 0; // of those, places whose bytes differ

    // A good sector passed the controller's CRC, so two good copies of one
    // sector of one disk differ only when an error slipped past the CRC or
    // the disk was written to between the reads: a handful at most. Two
    // disks differ wherever either holds data. A share alone misses a few
    // changed tracks on a full disk, a count alone misses disks that hold
    // little. Hence both: more than differentShare percent of the shared
    // sectors, once at least differentFloor differ (so that a stray sector
    // or three of a disk that holds little do not count), or differentCount
    // sectors (a track side) whatever the share.
    static constexpr int differentShare = 2;
    static constexpr int differentFloor = 4;
    static constexpr int differentCount = 16;

    bool differentDisks() const
    {
        return differing >= differentCount
               || (differing >= differentFloor && qint64(differing) * 100 > qint64(shared) * differentShare);
    }
};

// Compares the places both reads hold as good, within the tracks and sides
// both have.
MergeCheck compareReads(const PhysicalDisk &a, const PhysicalDisk &b);
