#include "pathidentity.h"

#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QReadLocker>
#include <QReadWriteLock>
#include <QSet>
#include <QWriteLocker>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#ifndef O_PATH
#define O_PATH O_RDONLY
#endif

namespace {

// The arguments whose names are not valid text, by the text they are
// known by. Filled before a run begins, read by the threads that load.
struct MendedNames
{
    QReadWriteLock lock;
    QHash<QString, QByteArray> bytes;
};

MendedNames &mendedNames()
{
    static MendedNames names;
    return names;
}

bool sameIdentity(const struct stat &a, const struct stat &b)
{
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

bool statPath(const QString &path, struct stat &status)
{
    return !path.isEmpty() && ::stat(nativePath(path).constData(), &status) == 0;
}

// The length of the valid UTF-8 sequence at bytes[i] and its code point,
// or 0 when the bytes there are not one (overlong forms and surrogates
// included).
int utf8Sequence(const QByteArray &bytes, int i, uint &codePoint)
{
    const uchar lead = uchar(bytes.at(i));
    int length = 0;
    uint minimum = 0;
    if (lead < 0x80) {
        codePoint = lead;
        return 1;
    } else if ((lead & 0xe0) == 0xc0) {
        length = 2;
        minimum = 0x80;
        codePoint = lead & 0x1f;
    } else if ((lead & 0xf0) == 0xe0) {
        length = 3;
        minimum = 0x800;
        codePoint = lead & 0x0f;
    } else if ((lead & 0xf8) == 0xf0) {
        length = 4;
        minimum = 0x10000;
        codePoint = lead & 0x07;
    } else {
        return 0;
    }
    if (i + length > bytes.size())
        return 0;
    for (int k = 1; k < length; ++k) {
        const uchar next = uchar(bytes.at(i + k));
        if ((next & 0xc0) != 0x80)
            return 0;
        codePoint = (codePoint << 6) | (next & 0x3f);
    }
    if (codePoint < minimum || codePoint > 0x10ffff || (codePoint >= 0xd800 && codePoint <= 0xdfff))
        return 0;
    return length;
}

// The bytes as text: valid UTF-8 decoded, every other byte replaced by
// what stand gives for it.
template<typename Stand>
QString mended(const QByteArray &bytes, Stand stand)
{
    QString text;
    for (int i = 0; i < bytes.size();) {
        uint codePoint = 0;
        const int length = utf8Sequence(bytes, i, codePoint);
        if (length == 0) {
            text += stand(uchar(bytes.at(i)));
            ++i;
            continue;
        }
        text += QString::fromUcs4(&codePoint, 1);
        i += length;
    }
    return text;
}

// "dir/name~2.dsk" from "dir/name.dsk": the number goes before the
// extension, so the image keeps its type and its folder its base name.
QString numbered(const QString &path, int n)
{
    const int slash = path.lastIndexOf(QLatin1Char('/'));
    const int dot = path.lastIndexOf(QLatin1Char('.'));
    const int at = dot > slash + 1 ? dot : path.size();
    return path.left(at) + QStringLiteral("~%1").arg(n) + path.mid(at);
}

} // namespace

bool sameFile(const QString &a, const QString &b)
{
    struct stat first;
    struct stat second;
    return statPath(a, first) && statPath(b, second) && sameIdentity(first, second);
}

bool isInside(const QString &path, const QString &root)
{
    struct stat rootStatus;
    if (!statPath(root, rootStatus) || !S_ISDIR(rootStatus.st_mode))
        return false;
    // The folder that will hold path, or the nearest one of its ancestors
    // that exists: folders below it would be made inside it.
    QString folder = QFileInfo(path).path();
    int fd = -1;
    while ((fd = ::open(nativePath(folder).constData(), O_PATH | O_DIRECTORY | O_CLOEXEC)) < 0) {
        const bool missing = errno == ENOENT;
        const QString parent = QFileInfo(folder).path();
        if (!missing || parent == folder)
            return false;
        folder = parent;
    }
    // Up through "..", as the kernel sees the folders: links in the
    // spelling of either path make no difference.
    for (;;) {
        struct stat current;
        if (::fstat(fd, &current) != 0)
            break;
        if (sameIdentity(current, rootStatus)) {
            ::close(fd);
            return true;
        }
        const int parent = ::openat(fd, "..", O_PATH | O_DIRECTORY | O_CLOEXEC);
        ::close(fd);
        fd = parent;
        struct stat above;
        if (fd < 0 || ::fstat(fd, &above) != 0 || sameIdentity(above, current))
            break; // the top of the file system
    }
    if (fd >= 0)
        ::close(fd);
    return false;
}

QByteArray nativePath(const QString &path)
{
    MendedNames &names = mendedNames();
    {
        QReadLocker lock(&names.lock);
        const auto it = names.bytes.constFind(path);
        if (it != names.bytes.constEnd())
            return it.value();
    }
    return QFile::encodeName(path);
}

bool hasMendedName(const QString &path, QByteArray *bytes)
{
    MendedNames &names = mendedNames();
    QReadLocker lock(&names.lock);
    const auto it = names.bytes.constFind(path);
    if (it == names.bytes.constEnd())
        return false;
    if (bytes)
        *bytes = it.value();
    return true;
}

QStringList commandLinePaths(const QList<QByteArray> &arguments)
{
    QStringList paths;
    QSet<QString> taken; // the text of every argument that is valid text
    QVector<bool> valid;
    for (const QByteArray &argument : arguments) {
        const QString text = QFile::decodeName(argument);
        valid << (QFile::encodeName(text) == argument);
        paths << text;
        if (valid.last())
            taken.insert(text);
    }
    MendedNames &names = mendedNames();
    QWriteLocker lock(&names.lock);
    for (int i = 0; i < arguments.size(); ++i) {
        if (valid.at(i))
            continue;
        const QByteArray &bytes = arguments.at(i);
        const auto free = [&](const QString &text) {
            const auto known = names.bytes.constFind(text);
            return !taken.contains(text) && (known == names.bytes.constEnd() || known.value() == bytes);
        };
        QString text = mended(bytes, [](uchar byte) { return QChar(byte); });
        if (!free(text)) {
            const QString plain = mended(bytes, [](uchar) { return QLatin1Char('_'); });
            text = plain;
            for (int n = 2; !free(text); ++n)
                text = numbered(plain, n);
        }
        names.bytes.insert(text, bytes);
        taken.insert(text);
        paths[i] = text;
    }
    return paths;
}

QStringList commandLinePaths(int argc, const char *const *argv)
{
    QList<QByteArray> arguments;
    for (int i = 1; i < argc; ++i)
        arguments << QByteArray(argv[i]);
    return commandLinePaths(arguments);
}
