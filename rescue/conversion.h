#pragma once

#include "disk/formatdetect.h"
#include "outputwriter.h"

#include <QByteArray>
#include <QString>
#include <QVector>

class libtap;

// What one conversion needs of an image-table row.
struct ConversionJob
{
    QString imageName;
    int tracks = 0;
    DiskFormat format = DiskFormat::Unknown; // only the TOS layouts are converted
    QByteArray data;
    QByteArray map;
    QString outputRoot = QStringLiteral(".");
    // The image folder's name below the root, and the archive's; empty:
    // the image name made safe.
    QString folderName;
};

struct ConversionReport
{
    bool converted = false; // false: the layout is unknown, nothing was done
    int catalogFiles = 0;
    int damagedFiles = 0; // catalog files with at least one bad sector
    int lostBlocks = 0;
    int writeFailures = 0;
    QVector<LogEntry::WriteFailure> failures;
};

// 2 or 4 for the TOS layouts, 0 when there is no readable catalog.
int catalogVariant(DiskFormat format);

// The image name as it is used in paths: never empty, ".", ".." or with a
// path separator.
QString safeImageName(const QString &imageName);

// The image folder below the output root, ending in '/'.
QString imageFolderPath(const QString &outputRoot, const QString &imageName);

// Converts one image into its folder: catalog files, the image's TAP archive
// and lost blocks. Log entries go to log, in order.
ConversionReport convertImage(const ConversionJob &job, libtap &tap, const LogSink &log);
