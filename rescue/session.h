#pragma once

#include "conversion.h"
#include "disk/physicaldisk.h"
#include "disk/libdsk.h"
#include "disk/logentry.h"
#include "imagelist/imagerow.h"
#include "tap/libtap.h"

#include <QObject>
#include <QSet>
#include <QString>
#include <QVector>

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
};

struct RescueOptions
{
    bool salvage = false;     // suspect sectors; weak sectors by majority
    bool writeReport = false; // NAME.sectors.csv and NAME.files.csv
};

// What the conversion of a row needs, with its output root.
ConversionJob conversionJob(const ImageRow &row, const QString &outputRoot);

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
    // Reads of one disk, merged into one row named after the first read.
    LoadResult merge(const QStringList &paths);
    // NAME.sectors.csv and NAME.files.csv of a row into folder, without
    // writing the rescue itself.
    bool exportReport(const ImageRow &row, const QString &folder);
    // The merged or salvaged disk as an Extended DSK at path.
    bool writeBestImage(const PhysicalDisk &disk, const QString &path, LogEntry::WriteFailure *failure = nullptr);

    // A new run (one Save, one batch): image folders are claimed anew.
    void startRun() { claimedFolders.clear(); }
    // The entry that opens a Save of count images.
    void beginConversion(int count);
    // Converts one row into its folder below outputRoot; an image whose
    // folder another image of this run took gets a folder of its own.
    ConversionReport convert(const ImageRow &row, const QString &outputRoot);

    // Entries go to log from now on.
    void setLog(LogSink log) { sink = std::move(log); }

    libdsk &reader() { return *dsk; }

private:
    template<typename Load>
    LoadResult loadWith(Load loadImageFile);
    void report(const LogEntry &entry);
    QString claimFolder(const QString &wanted);

    LogSink sink;
    RescueOptions rescueOptions;
    libdsk *dsk;
    libtap tap;
    QVector<LogEntry> *readerEntries = nullptr;
    QSet<QString> claimedFolders; // image folders of this run
};
