#include "outputwriter.h"

#include "tap/libtap.h"

#include <QDir>
#include <QFileInfo>
#include <QSaveFile>

#include <cerrno>
#include <cstring>

namespace {

QString systemReason(int error, const char *fallback)
{
    return error != 0 ? QString::fromLocal8Bit(std::strerror(error)) : QString::fromLatin1(fallback);
}

QString parentFolder(const QString &path)
{
    const int slash = path.lastIndexOf(QLatin1Char('/'));
    return slash > 0 ? path.left(slash) : QString();
}

} // namespace

OutputWriter::OutputWriter(LogSink log)
    : log(std::move(log))
{
}

bool OutputWriter::makeFolder(const QString &path)
{
    QString folder = path;
    while (folder.endsWith(QLatin1Char('/')) && folder.size() > 1)
        folder.chop(1);
    if (QFileInfo(folder).isSymLink())
        return fail(path, QStringLiteral("the folder is a symbolic link"));
    errno = 0;
    if (QDir().mkpath(folder))
        return true;
    return fail(path, systemReason(errno, "cannot create the folder"));
}

QString OutputWriter::refusalReason(const QString &path) const
{
    if (QFileInfo(path).isSymLink())
        return QStringLiteral("the file is a symbolic link");
    const QString folder = parentFolder(path);
    if (!folder.isEmpty() && QFileInfo(folder).isSymLink())
        return QStringLiteral("the folder is a symbolic link");
    return QString();
}

bool OutputWriter::writeFile(const QString &path, const QByteArray &bytes)
{
    // QSaveFile writes through a link at the destination: refuse first.
    const QString refused = refusalReason(path);
    if (!refused.isEmpty())
        return fail(path, refused);
    QSaveFile file(path);
    file.setDirectWriteFallback(false);
    if (!file.open(QIODevice::WriteOnly))
        return fail(path, file.errorString());
    // A short write (a full disk, a file size limit) shows only when the
    // buffer is flushed; commit() alone would still rename the cut file.
    if (file.write(bytes) != bytes.size() || !file.flush()) {
        const QString reason = file.errorString();
        file.cancelWriting();
        return fail(path, reason);
    }
    if (!file.commit())
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

QString OutputWriter::claim(const QString &folder, const QString &stem, const QString &extension,
                            const QStringList &companions)
{
    auto paths = [&](const QString &name) {
        QStringList all{folder + name + extension};
        for (const QString &companion : companions)
            all << folder + name + extension + companion;
        return all;
    };
    auto isFree = [&](const QStringList &all) {
        for (const QString &path : all)
            if (claimed.contains(path))
                return false;
        return true;
    };
    QString name = stem;
    for (int n = 2; !isFree(paths(name)); ++n)
        name = stem + QStringLiteral("~%1").arg(n);
    for (const QString &path : paths(name))
        claimed.insert(path);
    if (name != stem && log)
        log(LogEntry::warning().text(QStringLiteral("%1 is already an output of this rescue; saved as %2")
                                         .arg(stem + extension, name + extension)));
    return name + extension;
}

bool OutputWriter::fail(const QString &path, const QString &reason)
{
    LogEntry entry = LogEntry::error().text(QStringLiteral("Cannot write %1: %2").arg(path, reason));
    entry.failure = {path, reason};
    failed.append(entry.failure);
    if (log)
        log(entry);
    return false;
}
