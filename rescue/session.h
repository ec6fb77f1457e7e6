#pragma once

#include "conversion.h"
#include "disk/libdsk.h"
#include "disk/logentry.h"
#include "disk/physicaldisk.h"
#include "imagelist/imagerow.h"

#include <QObject>
#include <QSet>
#include <QString>
#include <QThreadPool>
#include <QVector>

#include <functional>

// What loading one image file came to.
struct LoadResult
{
    enum class Status {
        Accepted,   // row holds the image
        Refused,    // loaded, but of a kind the rescue does not take (CP/M)
        Unreadable, // no reader accepted the file
    };
    Status status = Status::Unreadable;
    ImageRow row;
    // The reader's entries after its "Opening file" entry, and the refusal:
    // together they say why an image was not accepted.
    QVector<LogEntry> reasons;
    // In salvage mode and for a merge: the disk by place, for the best image.
    PhysicalDisk physical;
    // A merge: reads that could not be taken, each with its reasons.
    QVector<QPair<QString, QVector<LogEntry>>> refusedReads;
    // Every entry of the load, in order, as the session reports them.
    QVector<LogEntry> entries;
};

struct RescueOptions
{
    bool salvage = false;     // suspect sectors; weak sectors by majority
    bool writeReport = false; // NAME.sectors.csv and NAME.files.csv
    bool forceMerge = false;  // merge reads even when they look like reads of different disks
    bool sync = true;         // files flushed to the disk before they are named
    bool undelete = false;    // salvage: rescue files of entries marked deleted
    DiskFormat layout = DiskFormat::Unknown; // salvage: layout of a disk detection could not place
};

// What a Save came to, image by image and in all.
struct SavedImage
{
    QString name;
    QString source;      // the file the row was read from, if any
    bool converted = false;
    QString folder;      // the image folder, ending in '/'
    int files = 0;       // catalog files and lost blocks
    int damaged = 0;     // catalog files with a missing sector
    int suspect = 0;     // catalog files called suspect
    int unverified = 0;  // catalog files called unverified
    int leftOut = 0;     // files not written because the user chose so
    QVector<LogEntry::WriteFailure> failures;
};

struct SaveSummary
{
    int requested = 0; // images handed to the Save
    int images = 0;    // images converted (or found not convertible)
    int files = 0;
    int damaged = 0;
    int suspect = 0;
    int unverified = 0;
    int leftOut = 0;
    QVector<LogEntry::WriteFailure> failures;
    QVector<SavedImage> saved; // in the order given
    bool cancelled = false;
};

// The name of a merge of reads whose first read is named firstRead
// ("disk" gives "disk-merged"): its row, its image folder and its files,
// in the window and the batch tool alike, kept apart from the first read's
// own rescue.
QString mergedImageName(const QString &firstRead);

// Where a Save takes its rows from: rows the window holds, or image files
// loaded as the Save goes. fetch runs on the pool's threads.
class RowSource
{
public:
    virtual ~RowSource() = default;
    virtual int count() const = 0;
    virtual LoadResult fetch(int index) const = 0;
};

struct SaveOptions
{
    QString outputRoot = QStringLiteral(".");
    // Threads that load and convert; 0: one per core.
    int jobs = 0;
    // The batch's order: every load's entries first, then the opening entry
    // of the conversion and the conversions' entries. Otherwise the opening
    // entry names every requested image and conversions report as they end.
    bool loadsFirst = false;
    // Called in order on the calling thread as each row is fetched, after
    // its entries; it may report more (a best image).
    std::function<void(int index, const LoadResult &result)> fetched;
    // Called in order on the calling thread after each image's conversion
    // entries.
    std::function<void(const SavedImage &image)> saved;
    // Called in order on the calling thread as soon as each image's
    // conversion has ended, before its entries when they are held back.
    std::function<void(const SavedImage &image)> finished;
    // Called on the calling thread while the Save runs and after each
    // image, with the images done so far; false cancels what has not begun.
    std::function<bool(int done, int total)> progress;
};

// The one Open -> Save driver, shared by the window, the batch tool and the
// fuzz harness: it loads images into rows and converts rows into folders,
// reporting every step as log entries to one sink.
class RescueSession : public QObject
{
    Q_OBJECT
public:
    explicit RescueSession(LogSink log, QObject *parent = nullptr);

    void setOptions(const RescueOptions &options) { rescueOptions = options; }
    const RescueOptions &options() const { return rescueOptions; }

    LoadResult load(const QString &path);
    LoadResult loadData(const QByteArray &bytes, const QString &name);
    // Reads of one disk, merged into one row named after the first read
    // (see mergedImageName).
    LoadResult merge(const QStringList &paths);
    // The same without reporting: the entries come back in the result.
    // Safe to call from any thread.
    LoadResult loadQuietly(const QString &path) const;
    LoadResult mergeQuietly(const QStringList &paths) const;

    // NAME.sectors.csv and NAME.files.csv of a row into folder, without
    // writing the rescue itself.
    bool exportReport(const ImageRow &row, const QString &folder);
    // The merged or salvaged disk as an Extended DSK at path.
    bool writeBestImage(const PhysicalDisk &disk, const QString &path, LogEntry::WriteFailure *failure = nullptr);

    // Converts every row of source into its folder below the output root,
    // on the session's thread pool: image folder names are decided in the
    // order given, entries are reported in that order, and a bounded number
    // of images is held at a time.
    SaveSummary save(const RowSource &source, const SaveOptions &options);

    // A new run (one Save, one batch): image folders are claimed anew.
    void startRun() { claimedFolders.clear(); }
    // The entry that opens a Save of count images.
    void beginConversion(int count);
    // Converts one row into its folder below outputRoot; an image whose
    // folder another image of this run took gets a folder of its own.
    ConversionReport convert(const ImageRow &row, const QString &outputRoot);

    // Entries go to log from now on.
    void setLog(LogSink log) { sink = std::move(log); }

private:
    void report(const LogEntry &entry);
    void reportAll(const QVector<LogEntry> &entries);
    // A load's entries reach the log through the reader's message signal.
    void reportRead(const QVector<LogEntry> &entries);
    QString claimFolder(const QString &outputRoot, const QString &wanted, const QString &sourceFile,
                        QVector<LogEntry> &entries);
    ConversionOptions conversionOptions(const ImageRow &row, const QString &outputRoot, QVector<LogEntry> &entries);

    LogSink sink;
    RescueOptions rescueOptions;
    libdsk *reader;
    QThreadPool pool;
    QSet<QString> claimedFolders; // image folders of this run
};
