#pragma once

#include "catalog.h"
#include "conversion.h"
#include "outputwriter.h"

#include <QByteArray>
#include <QString>

class libtap;

// The working state of one conversion, shared by the catalog extraction and
// the lost-block scan: the claims the one makes are what the other reads.
struct RescueState
{
    QByteArray data; // working copy of the image data
    QByteArray map;  // working copy of the status map: 0 not read, 1 read, 2 claimed
    QString folder;  // image folder, ending in '/'
    libtap &tap;
    OutputWriter &out;
    LogSink log;
    bool salvage = false;
    QByteArray states;                      // SectorState per sector, for salvage
    QVector<FileSummary> *files = nullptr;  // summaries, when collected
    QStringList *owners = nullptr;          // sector owners, when collected

    bool isSuspect(qint64 sector) const
    {
        return salvage && sector >= 0 && sector < states.size() && states.at(int(sector)) == 2;
    }
    void own(qint64 sector, const QString &owner)
    {
        if (owners && sector >= 0 && sector < owners->size() && owners->at(int(sector)).isEmpty())
            (*owners)[int(sector)] = owner;
    }
};

// Assembles one catalog file from its sectors, logs it and writes its
// ".inf", raw body and tape entry.
void extractFile(RescueState &state, TosFile &file);

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
void addToArchive(RescueState &state, const QString &name, const QByteArray &body, int typeByte,
                  const HeaderInfo &header);

// True when all size bytes equal value; stops at the first that does not.
bool isFilledWith(const char *bytes, int size, char value);

// Little-endian word at pos; bytes beyond the end read as zero.
int wordAt(const QByteArray &bytes, qint64 pos);
// The first count bytes at pos in lower-case hex, beyond the end as 00.
QString headerHex(const QByteArray &bytes, qint64 pos, int count, bool clip);
