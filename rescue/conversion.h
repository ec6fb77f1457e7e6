#pragma once

#include "disk/formatdetect.h"
#include "imagelist/imagerow.h"
#include "outputwriter.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QVector>

// How to convert one image-table row.
struct ConversionOptions
{
    QString outputRoot = QStringLiteral(".");
    // The image folder's name below the root, and the archive's; empty:
    // the image name made safe.
    QString folderName;
    // Fill the report's file summaries and sector owners.
    bool collectDetails = false;
    // Write NAME.sectors.csv and NAME.files.csv into the image folder (and
    // collect the details for them). The report names each read and gives
    // per sector the reads or copies that agreed and the read that supplied it.
    bool writeReport = false;
    // Convert without writing anything (for the details alone).
    bool dryRun = false;
    // Flush the files to the disk before they get their names (once for the
    // whole image): false for scratch work, where a power cut may leave cut
    // files.
    bool sync = true;
};

// What a rescued file's bytes are known to be worth:
// - complete: every sector good, read with a clean status, from a trusted
//   catalog entry;
// - damaged: a sector is missing;
// - suspect: a sector is suspect (salvage mode), or its catalog entry cannot
//   be trusted;
// - unverified: a sector read with error bits was taken as read (default
//   mode), so the bytes may be wrong.
// "complete" means the same in every mode.
enum class Verdict { Complete, Damaged, Suspect, Unverified };
QString verdictName(Verdict verdict);

// One rescued file as the sector report lists it.
struct FileSummary
{
    QString name;   // as the catalog gives it, or the lost block's name
    QString file;   // the output file in the image folder
    QString type;   // "basic", "code", ...
    int length = 0;
    int bad = 0;
    int suspect = 0;
    int zero = 0;   // read sectors that hold only zeros
    Verdict verdict = Verdict::Complete;
    bool complete() const { return verdict == Verdict::Complete; }
};

struct ConversionReport
{
    bool converted = false; // false: the layout is unknown, nothing was done
    int catalogFiles = 0;
    int damagedFiles = 0; // catalog files with at least one bad sector
    int suspectFiles = 0;    // catalog files called suspect
    int unverifiedFiles = 0; // catalog files called unverified
    int lostBlocks = 0;
    int writeFailures = 0;
    QVector<LogEntry::WriteFailure> failures;
    QString folder; // the image folder, ending in '/'
    // With collectDetails: every catalog file and lost block, and the owner
    // of each logical sector (empty where none).
    QVector<FileSummary> files;
    QStringList sectorOwners;
};

// The image name as it is used in paths: never empty, ".", ".." or with a
// path separator.
QString safeImageName(const QString &imageName);

// The image folder below the output root, ending in '/'.
QString imageFolderPath(const QString &outputRoot, const QString &imageName);

// Converts one row into its folder: catalog files, the image's TAP archive
// and lost blocks. Log entries go to log, in order.
ConversionReport convertImage(const ImageRow &row, const ConversionOptions &options, const LogSink &log);
