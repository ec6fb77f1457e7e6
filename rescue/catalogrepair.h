#pragma once

#include "catalog.h"
#include "disk/formatdetect.h"

#include <QString>
#include <QVector>

struct ImageRow;
struct RescueState;
class libtap;

// A ZX Spectrum style header at the start of lost data.
struct SpectrumHeader
{
    int typeByte = 0;
    int size = 0;   // 7 (program) or 5 (arrays, code)
    int length = 0; // of the body
    int word1 = 0;
    int word3 = 0;
    int word5 = 0;
    // Fields that random bytes hardly ever give: code loaded above the ROM,
    // an array without an address, a program whose first line ends where
    // its length says.
    bool strong = false;
    int total() const { return size + length; }
    int start() const { return size == 7 ? word1 : word3; }
};

// A header a file could begin with: a known type, a body that is not empty
// and fits in room bytes, a program's autostart line, variables and first
// line number within reason, code that fits in memory.
bool plausibleHeader(const QByteArray &bytes, qint64 offset, qint64 room, SpectrumHeader &header);

// The layout of a disk whose detection found no evidence, guessed from the
// data: headered files at block starts in sectors 16..79 (where an A.2 disk
// keeps its system and catalog) say A.4; none there and one at sector 80,
// an A.2 disk's first block, say A.2. Unknown when the data does not say.
// evidence: the reason, for the log.
DiskFormat guessLayout(const ImageRow &row, QString &evidence);

// The format a conversion uses: the detected one, or for a salvaged row of
// unknown layout the one asked for or guessed (evidence says which and
// why; empty when the detected format stands).
DiskFormat rescueFormat(const ImageRow &row, DiskFormat asked, QString &evidence);

// The salvage rescue of what no live catalog file claims, after those files
// are written: lost files put back together at block boundaries (named
// after a deleted entry whose blocks they begin), with undelete the files
// of entries marked deleted, then the rest as one piece per run. Returns
// the number of lost files found with a header; deletedCount: the files
// rescued from deleted entries.
int recoverLostFiles(RescueState &state, const CatalogLayout &layout, QVector<TosFile> deleted, bool undelete,
                     int &deletedCount);
