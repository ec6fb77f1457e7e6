#include "folderclaim.h"

#include <QAtomicInteger>
#include <QDir>
#include <QFile>

#include <cerrno>
#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

namespace {

const char attribute[] = "user.malvore.source";
const char recordFile[] = ".malvore-source";

bool recordSource(const QByteArray &folder, const QByteArray &source)
{
    if (::lsetxattr(folder.constData(), attribute, source.constData(), size_t(source.size()), 0) == 0)
        return true;
    const int fd = ::open((folder + '/' + recordFile).constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                          0666);
    if (fd < 0)
        return false;
    const bool written = ::write(fd, source.constData(), size_t(source.size())) == source.size();
    ::close(fd);
    return written;
}

// The image a folder records, or an empty array.
QByteArray recordedSource(const QByteArray &folder)
{
    QByteArray value(4096, '\0');
    const ssize_t size = ::lgetxattr(folder.constData(), attribute, value.data(), size_t(value.size()));
    if (size >= 0)
        return value.left(int(size));
    QFile file(QFile::decodeName(folder + '/' + recordFile));
    struct stat status;
    if (::lstat(QFile::encodeName(file.fileName()).constData(), &status) != 0 || !S_ISREG(status.st_mode)
        || !file.open(QIODevice::ReadOnly))
        return QByteArray();
    return file.read(4096);
}

} // namespace

bool claimImageFolder(const QString &root, const QString &name, const QString &source, QString *otherSource)
{
    QDir().mkpath(root);
    const QByteArray wanted = QFile::encodeName(root + QLatin1Char('/') + name);
    const QByteArray recorded = QFile::encodeName(source);
    static QAtomicInteger<unsigned> counter;
    const QByteArray making = QFile::encodeName(root) + "/.malvore-claim-" + QByteArray::number(qint64(::getpid()))
                              + '-' + QByteArray::number(++counter);
    if (::mkdir(making.constData(), 0777) == 0) {
        const bool ready = recordSource(making, recorded);
        if (ready && ::renameat2(AT_FDCWD, making.constData(), AT_FDCWD, wanted.constData(), RENAME_NOREPLACE) == 0)
            return true;
        ::unlink((making + '/' + recordFile).constData());
        ::rmdir(making.constData());
    }
    struct stat status;
    if (::lstat(wanted.constData(), &status) != 0 || !S_ISDIR(status.st_mode))
        return true; // nothing to tell apart: the writer makes the folder or reports why it cannot
    const QByteArray found = recordedSource(wanted);
    if (found.isEmpty()) {
        recordSource(wanted, recorded); // from now on the folder tells its image
        return true;
    }
    if (found == recorded)
        return true;
    if (otherSource)
        *otherSource = QFile::decodeName(found);
    return false;
}
