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
PhysicalDisk mergeReads(const QVector<PhysicalDisk> &reads, const QStringList &names, const LogSink &log);
