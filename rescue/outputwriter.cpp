#include "outputwriter.h"

#include "tap/libtap.h"

#include <QDir>
#include <QFile>

OutputWriter::OutputWriter(LogSink log)
    : log(std::move(log))
{
}

bool OutputWriter::makeFolder(const QString &path)
{
    if (QDir().mkpath(path))
        return true;
    return fail(path);
}

bool OutputWriter::writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return fail(path);
    const bool complete = file.write(bytes) == bytes.size();
    file.close();
    if (!complete || file.error() != QFileDevice::NoError)
        return fail(path);
    return true;
}

bool OutputWriter::writeTap(const libtap &tap, const QString &path)
{
    if (tap.saveTap(path) == 0)
        return true;
    return fail(path);
}

bool OutputWriter::fail(const QString &path)
{
    ++failureCount;
    if (log)
        log(QStringLiteral("Cannot write %1").arg(path));
    return false;
}
