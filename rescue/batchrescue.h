#pragma once

#include "disk/formatdetect.h"
#include "disk/logentry.h"

#include <QString>
#include <QStringList>
#include <QVector>

// The headless rescue: what the window does on Open followed by Save All,
// for a list of image files. Each image is converted right after it is
// loaded and its data released, so memory stays flat in the number of
// images; the entries of the conversions are held back and reported after
// the loads, in the order the window shows them.

// Something that makes a batch incomplete, as a value.
struct BatchProblem
{
    enum class Kind {
        Unreadable,   // not a file that can be read
        Refused,      // no reader took it, or a kind the rescue refuses
        NotConverted, // loaded, but its TOS layout is unknown
        WriteFailed,  // an output could not be written
    };
    Kind kind = Kind::Unreadable;
    QString imagePath;
    QVector<LogEntry> reasons;      // Refused: the reader's entries that say why
    LogEntry::WriteFailure failure; // WriteFailed
};

class BatchListener
{
public:
    virtual ~BatchListener() = default;
    virtual void entry(const LogEntry &entry) = 0;
    virtual void problem(const BatchProblem &problem) = 0;
};

struct BatchMode
{
    bool salvage = false;     // suspect sectors; weak sectors by majority
    bool merge = false;       // all images are reads of one disk, rescued once
    bool forceMerge = false;  // merge even reads that look like reads of different disks
    bool writeReport = false; // NAME.sectors.csv and NAME.files.csv
    QString bestImage;        // where to write the salvaged or merged disk, if anywhere
    int jobs = 0;             // images converted at once; 0: as many as the machine has cores
    bool sync = true;         // files flushed to the disk before they are named
    bool undelete = false;    // files of deleted entries too (salvage)
    DiskFormat layout = DiskFormat::Unknown; // for a disk of unknown layout (salvage)
};

// Rescues images into outputRoot; the result is the number of problems.
int runBatch(const QStringList &images, const QString &outputRoot, BatchListener &listener,
             const BatchMode &mode = BatchMode());
