#include "outputwriter.h"

#include "tap/libtap.h"

#include <QDir>
#include <QFile>

#include <cerrno>
#include <cstring>

OutputWriter::OutputWriter(LogSink log)
    : log(std::move(log))
{
}

bool OutputWriter::makeFolder(const QString &path)
{
    errno = 0;
    if (QDir().mkpath(path))
        return true;
    return fail(path, errno != 0 ? QString::fromLocal8Bit(std::strerror(errno)) : QStringLiteral("cannot create the folder"));
}

bool OutputWriter::writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return fail(path, file.errorString());
    const bool complete = file.write(bytes) == bytes.size();
    file.close();
    if (!complete || file.error() != QFileDevice::NoError)
        return fail(path, file.errorString());
    return true;
}

bool OutputWriter::writeTap(const libtap &tap, const QString &path)
{
    bool ok = false;
    const QByteArray bytes = tap.archive(&ok);
    if (!ok)
        return fail(path, QStringLiteral("a block is too long for a tape archive"));
    return writeFile(path, bytes);
}

bool OutputWriter::fail(const QString &path, const QString &reason)
{
    LogEntry entry = LogEntry::error().text(QStringLiteral("Cannot write %1").arg(path));
    entry.failure = {path, reason};
    failed.append(entry.failure);
    if (log)
        log(entry);
    return false;
}
