#pragma once

#include "disk/logentry.h"

#include <QByteArray>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QVector>

class libtap;

// Writes the outputs of one conversion. Nothing rescued may be lost
// silently:
// - every output path is claimed once per conversion: a name already taken
//   gets a distinguishing suffix, and the log says where the file went;
// - each file is written to a temporary file beside it and renamed into
//   place when complete, so a failed write leaves no partial file;
// - a symbolic link at an output path or at the image folder is never
//   followed: the write fails;
// - every failure is kept as a value (the path and the system's reason),
//   reported as one error entry "Cannot write <path>: <reason>" and
//   counted; the conversion then goes on.
class OutputWriter
{
public:
    explicit OutputWriter(LogSink log);
    // Writes nothing and reports every write as done: a conversion run for
    // its report alone.
    void setDryRun(bool on) { dryRun = on; }

    bool makeFolder(const QString &path);
    bool writeFile(const QString &path, const QByteArray &bytes);
    bool writeTap(const libtap &tap, const QString &path);

    // Claims folder + stem + extension together with stem + extension +
    // each of the companions (".inf", ".tap"); when one of them is taken,
    // the stem gets the first free suffix "~2", "~3", ... and the move is
    // logged. The result is the claimed stem + extension.
    QString claim(const QString &folder, const QString &stem, const QString &extension,
                  const QStringList &companions);

    int failureCount() const { return failed.size(); }
    const QVector<LogEntry::WriteFailure> &failures() const { return failed; }

private:
    bool fail(const QString &path, const QString &reason);
    // Why path must not be written to, or an empty string.
    QString refusalReason(const QString &path);

    LogSink log;
    QSet<QString> claimed;
    QSet<QString> checkedFolders; // folders seen not to be links
    bool dryRun = false;
    QVector<LogEntry::WriteFailure> failed;
};
