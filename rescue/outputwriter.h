#pragma once

#include <QByteArray>
#include <QString>

#include <functional>

class libtap;

using LogSink = std::function<void(const QString &)>;

// Writes the outputs of one conversion. A rescue that silently fails to
// write what it rescued loses data, so every failure gets one log line
// "Cannot write <path>" and is counted; the conversion then goes on.
class OutputWriter
{
public:
    explicit OutputWriter(LogSink log);

    bool makeFolder(const QString &path);
    bool writeFile(const QString &path, const QByteArray &bytes);
    bool writeTap(const libtap &tap, const QString &path);

    int failures() const { return failureCount; }

private:
    bool fail(const QString &path);

    LogSink log;
    int failureCount = 0;
};
