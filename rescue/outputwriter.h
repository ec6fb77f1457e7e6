#pragma once

#include "disk/logentry.h"

#include <QByteArray>
#include <QString>
#include <QVector>

class libtap;

// Writes the outputs of one conversion. A rescue that silently fails to
// write what it rescued loses data, so every failure is kept as a value
// (the path and the system's reason), reported as one error entry
// "Cannot write <path>" and counted; the conversion then goes on.
class OutputWriter
{
public:
    explicit OutputWriter(LogSink log);

    bool makeFolder(const QString &path);
    bool writeFile(const QString &path, const QByteArray &bytes);
    bool writeTap(const libtap &tap, const QString &path);

    int failureCount() const { return failed.size(); }
    const QVector<LogEntry::WriteFailure> &failures() const { return failed; }

private:
    bool fail(const QString &path, const QString &reason);

    LogSink log;
    QVector<LogEntry::WriteFailure> failed;
};
