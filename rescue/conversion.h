#pragma once

#include "catalog.h"
#include "disk/formatdetect.h"
#include "imagelist/imagerow.h"
#include "outputwriter.h"

#include <QByteArray>
#include <QSet>
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
    // Files the user chose not to save, by their place in the conversion's
    // file list (the order of ConversionReport::files): their sectors are
    // still claimed, so every other file and lost block comes out the same.
    QSet<int> leaveOut;
    // Salvage: also rescue files whose catalog entries are marked deleted,
    // into a "deleted" folder of the image folder.
    bool undelete = false;
    // Salvage: the catalog layout to use when detection found no evidence
    // (FormatUnknown); Unknown lets the conversion guess from the data.
    DiskFormat layout = DiskFormat::Unknown;
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
    int length = 0;     // a catalog file: its catalog length, the header included; a lost block: bodyLength
    int bodyLength = 0; // the bytes of the output file (the .inf "len" of a file with a header)
    int bad = 0;
    int suspect = 0;
    int zero = 0;   // read sectors that hold only zeros
    Verdict verdict = Verdict::Complete;
    FileOrigin origin = FileOrigin::Catalog;
    int headerSize = 0;   // 7 (program), 5 (arrays, code), 0 (none)
    int start = -1;       // code: its address; program: its autostart line; -1: none
    QVector<int> sectors; // logical sectors in file order
    bool leftOut = false; // listed, but not written: the user chose so
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
    int deletedFiles = 0; // rescued from entries marked deleted
    int leftOut = 0;      // files not written because the user chose so
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
