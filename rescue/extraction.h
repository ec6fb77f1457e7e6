#pragma once

#include "catalog.h"
#include "conversion.h"
#include "outputwriter.h"

#include <QByteArray>
#include <QSet>
#include <QString>

class libtap;

// The working state of one conversion, shared by the catalog extraction and
// the lost-block scan: the claims the one makes are what the other reads.
struct RescueState
{
    RescueState(const SectorTable &sectors, const QString &folder, OutputWriter &out, LogSink log)
        : sectors(sectors)
        , folder(folder)
        , out(out)
        , log(std::move(log))
    {
    }

    SectorTable sectors; // working copy of the row's sectors: owners are filled in
    QString folder;      // image folder, ending in '/'
    OutputWriter &out;
    LogSink log;
    bool salvage = false;
    QVector<FileSummary> *files = nullptr; // summaries, when collected
    QStringList ownerNames;                // the names sector owners point to
    QSet<int> leaveOut;                    // files the user chose not to save, by their place in the list
    bool dryRun = false;                   // nothing is written at all
    int leftOut = 0;

    // The next file of the list begins: false when the user left it out,
    // and then nothing of it is written (its sectors are still claimed).
    bool beginFile()
    {
        const bool wanted = !leaveOut.contains(nextFile++);
        out.setDryRun(dryRun || !wanted);
        leftOut += !wanted;
        return wanted;
    }
    // After the last file: the image's own files are written again.
    void endFiles() { out.setDryRun(dryRun); }
    // The place in the list of the file begun last.
    int currentFile() const { return nextFile - 1; }

    int nextFile = 0;

    bool isSuspect(qint64 sector) const { return salvage && sectors.state(sector) == SectorState::Suspect; }
    // Sectors from first on belong to name, unless another owner came first.
    void own(qint64 first, int count, const QString &name)
    {
        const SectorOwner owner{SectorOwner::Kind::File, ownerNames.size()};
        ownerNames.append(name);
        for (qint64 s = first; s < first + count; ++s)
            sectors.claim(s, owner);
    }
    // A read sector that no file or catalog has claimed.
    bool isUnclaimed(qint64 sector) const
    {
        return sectors.isRead(sector) && sectors.owner(sector).kind == SectorOwner::Kind::None;
    }
};

// Assembles one catalog file from its sectors, logs it and writes its
// ".inf", raw body and tape entry; the result is what its bytes are worth.
Verdict extractFile(RescueState &state, TosFile &file, libtap &tap);

// The verdict of bytes from these sector counts, in this mode.
Verdict verdictOf(int bad, int suspect, int flagged, bool doubtful, bool salvage);

// The ".inf" text of a Spectrum header (single line feeds, no final line
// end) and the tape parameters it gives.
struct HeaderInfo
{
    QString text;
    int param1;
    int param2;
};
// A program header; the last line is variablesLabel followed by the value.
HeaderInfo describeBasic(const QString &name, const QString &hex, int start, int length, int variables,
                         const char *variablesLabel);
// A 5-byte header: arrays and code (and any file whose length says so).
HeaderInfo describeHeader5(const QString &name, const QString &typeWord, const QString &hex, int start,
                           int length);

// Adds a file to the image's tape archive; says so in the log when it
// cannot (too long for a tape block).
void addToArchive(RescueState &state, libtap &tap, const QString &name, const QByteArray &body, int typeByte,
                  const HeaderInfo &header);

// True when all size bytes equal value; stops at the first that does not.
bool isFilledWith(const char *bytes, int size, char value);

// Little-endian word at pos; bytes beyond the end read as zero.
int wordAt(const QByteArray &bytes, qint64 pos);
// The first count bytes at pos in lower-case hex, beyond the end as 00.
QString headerHex(const QByteArray &bytes, qint64 pos, int count, bool clip);
