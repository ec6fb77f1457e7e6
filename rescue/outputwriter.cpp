#include "outputwriter.h"

#include "tap/libtap.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

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

// A new file of its own beside target, never one that was there: its name
// is taken from the process id and a counter, and O_EXCL refuses any
// existing entry (a link included). Its permissions follow the umask.
int createTemporary(const QByteArray &target, QByteArray &name)
{
    // Conversions run on several threads at once: the counter is shared.
    static std::atomic<unsigned> counter{0};
    const int slash = target.lastIndexOf('/');
    for (int attempt = 0; attempt < 100; ++attempt) {
        static const QByteArray process = QByteArray::number(qint64(::getpid()));
        name = target.left(slash + 1) + ".malvore-" + process + '-'
               + QByteArray::number(++counter);
        const int fd = ::open(name.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != EEXIST)
            return fd;
    }
    return -1;
}

bool writeAll(int fd, const char *bytes, qint64 size)
{
    while (size > 0) {
        const ssize_t written = ::write(fd, bytes, size_t(size));
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return false;
        bytes += written;
        size -= written;
    }
    return true;
}

// Writes bytes to a new temporary file beside path and renames it into
// place once complete: a failed or cut write never leaves a partial file
// at path. Renaming replaces a link at path rather than writing through it.
// The result is an empty string, or the system's reason.
QString replaceAtomically(const QString &path, const QByteArray &bytes)
{
    const QByteArray target = QFile::encodeName(path);
    QByteArray temporary;
    const int fd = createTemporary(target, temporary);
    if (fd < 0)
        return systemReason(errno, "cannot create a temporary file");
    int error = 0;
    if (!writeAll(fd, bytes.constData(), bytes.size()))
        error = errno != 0 ? errno : EIO;
    if (::close(fd) != 0 && error == 0)
        error = errno;
    if (error == 0 && ::rename(temporary.constData(), target.constData()) != 0)
        error = errno;
    if (error != 0) {
        ::unlink(temporary.constData());
        return systemReason(error, "cannot write the file");
    }
    return QString();
}

} // namespace

OutputWriter::OutputWriter(LogSink log)
    : log(std::move(log))
{
}

bool OutputWriter::makeFolder(const QString &path)
{
    if (dryRun)
        return true;
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

QString OutputWriter::refusalReason(const QString &path)
{
    struct stat status;
    const QString folder = parentFolder(path);
    if (!folder.isEmpty() && !checkedFolders.contains(folder)) {
        if (::lstat(QFile::encodeName(folder).constData(), &status) == 0 && S_ISLNK(status.st_mode))
            return QStringLiteral("the folder is a symbolic link");
        checkedFolders.insert(folder);
    }
    if (::lstat(QFile::encodeName(path).constData(), &status) == 0 && S_ISLNK(status.st_mode))
        return QStringLiteral("the file is a symbolic link");
    return QString();
}

bool OutputWriter::writeFile(const QString &path, const QByteArray &bytes)
{
    if (dryRun)
        return true;
    const QString refused = refusalReason(path);
    if (!refused.isEmpty())
        return fail(path, refused);
    const QString reason = replaceAtomically(path, bytes);
    if (!reason.isEmpty())
        return fail(path, reason);
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
