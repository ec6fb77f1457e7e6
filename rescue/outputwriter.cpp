#include "outputwriter.h"

#include "interruption.h"
#include "tap/libtap.h"

#include <QDir>
#include <QFile>

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <mutex>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Setting this (to anything) makes every write use a named temporary, as
// on a file system without unnamed files: for tests, and a way out should
// one misbehave.
const char namedTemporariesVariable[] = "MALVORE_NAMED_TEMPORARIES";

const char temporaryPrefix[] = ".malvore-";

// A named temporary older than this belongs to no live write whatever its
// process id says (ids are reused, by other processes or after a restart):
// a temporary lives while one image's files are written and flushed, which
// takes well under a second, so an hour leaves room for the slowest disk
// and the most loaded machine.
const time_t staleAfterSeconds = 60 * 60;

// Tests only; the flag spares every write the lock when there is none.
std::atomic<bool> hookInstalled{false};
std::mutex hookMutex;
std::function<void(const QString &)> beforeWriteHook;

// Files held open until their commit, by every writer of the process: past
// half the limit on open files a writer commits what it holds early, so a
// large image or many conversions at once never run out of descriptors.
std::atomic<int> pendingFiles{0};

int pendingBudget()
{
    static const int budget = [] {
        rlimit limit{};
        if (::getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY)
            return 512;
        return int(qBound<rlim_t>(16, limit.rlim_cur / 2, 65536));
    }();
    return budget;
}

QString systemReason(int error, const char *fallback)
{
    return error != 0 ? QString::fromLocal8Bit(std::strerror(error)) : QString::fromLatin1(fallback);
}

// "a/b/c" -> "a/b" and "c"; "/c" -> "/" and "c"; "c" -> "." and "c".
void splitPath(const QString &path, QString &folder, QString &name)
{
    const int slash = path.lastIndexOf(QLatin1Char('/'));
    folder = slash > 0 ? path.left(slash) : slash == 0 ? QStringLiteral("/") : QStringLiteral(".");
    name = path.mid(slash + 1);
}

QString withoutFinalSlashes(QString path)
{
    while (path.endsWith(QLatin1Char('/')) && path.size() > 1)
        path.chop(1);
    return path;
}

bool isLinkAt(int folder, const char *name)
{
    struct stat status;
    return ::fstatat(folder, name, &status, AT_SYMLINK_NOFOLLOW) == 0 && S_ISLNK(status.st_mode);
}

// Opens name in folder as a folder, never through a link. Asked to open a
// link as a folder without following it, Linux answers "not a folder" (or
// "too many links"): whether it was a link is asked separately.
int openFolderAt(int folder, const QByteArray &name, QString &reason)
{
    const int fd = ::openat(folder, name.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd >= 0)
        return fd;
    const int error = errno;
    if ((error == ENOTDIR || error == ELOOP) && isLinkAt(folder, name.constData()))
        reason = QStringLiteral("the folder is a symbolic link");
    else
        reason = systemReason(error, "cannot open the folder");
    return -1;
}

// The process id in a temporary's name ".malvore-PID-N"; false for any
// other name, which is then never touched.
bool temporaryOwner(const char *name, long long &pid)
{
    const size_t prefix = sizeof(temporaryPrefix) - 1;
    if (std::strncmp(name, temporaryPrefix, prefix) != 0)
        return false;
    const char *p = name + prefix;
    pid = 0;
    const char *digits = p;
    for (; *p >= '0' && *p <= '9'; ++p)
        pid = pid < LLONG_MAX / 10 ? pid * 10 + (*p - '0') : LLONG_MAX;
    if (p == digits || *p != '-')
        return false;
    const char *counter = ++p;
    while (*p >= '0' && *p <= '9')
        ++p;
    return p != counter && *p == '\0';
}

bool processIsGone(long long pid)
{
    if (pid <= 0 || pid > INT_MAX)
        return true;
    if (pid_t(pid) == ::getpid())
        return false;
    // EPERM: it exists, under another user.
    return ::kill(pid_t(pid), 0) != 0 && errno == ESRCH;
}

// Removes the temporaries a killed run left in folder: those of processes
// that are gone, and any older than staleAfterSeconds. Those of a live
// process (another run writing here now) stay, as does every other name.
// Only the fallback makes named temporaries, and only for as long as one
// file is written, but folders written by older versions or on other file
// systems may hold some, so every folder is swept once.
void sweepStaleTemporaries(int folder)
{
    const int fd = ::openat(folder, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return;
    DIR *listing = ::fdopendir(fd);
    if (!listing) {
        ::close(fd);
        return;
    }
    const time_t now = std::time(nullptr);
    while (const dirent *entry = ::readdir(listing)) {
        long long pid = 0;
        if (!temporaryOwner(entry->d_name, pid))
            continue;
        struct stat status;
        if (::fstatat(folder, entry->d_name, &status, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(status.st_mode))
            continue;
        if (processIsGone(pid) || status.st_mtime < now - staleAfterSeconds)
            ::unlinkat(folder, entry->d_name, 0);
    }
    ::closedir(listing);
}

QByteArray temporaryName()
{
    // Conversions run on several threads at once: the counter is shared.
    static std::atomic<unsigned> counter{0};
    static const QByteArray process = QByteArray::number(qint64(::getpid()));
    return temporaryPrefix + process + '-' + QByteArray::number(++counter);
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

// Renames temporary (in folder) over name, or removes it. 0 or the error.
int moveIntoPlace(int folder, const QByteArray &temporary, const QByteArray &name)
{
    if (::renameat(folder, temporary.constData(), folder, name.constData()) == 0)
        return 0;
    const int error = errno;
    ::unlinkat(folder, temporary.constData(), 0);
    return error;
}

// A new file of its own in folder, never one that was there (O_EXCL
// refuses any existing entry, a link included); its permissions follow the
// umask. -1 with errno set when it cannot be made.
int createTemporary(int folder, QByteArray &temporary)
{
    int fd = -1;
    for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
        temporary = temporaryName();
        fd = ::openat(folder, temporary.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EEXIST)
            break;
    }
    return fd;
}

// 0, or the error of writing bytes to fd (and of flushing them, if asked).
int writeAndFlush(int fd, const QByteArray &bytes, bool flush)
{
    errno = 0;
    if (!writeAll(fd, bytes.constData(), bytes.size()))
        return errno != 0 ? errno : EIO;
    if (flush && ::fdatasync(fd) != 0)
        return errno;
    return 0;
}

// Today's way, and the fallback: a temporary beside name, written, closed
// and renamed over name. A kill between its creation and its rename leaves
// it behind, for the sweep of the next run.
QString writeThroughNamedTemporary(int folder, const QByteArray &name, const QByteArray &bytes, bool flush)
{
    QByteArray temporary;
    const int fd = createTemporary(folder, temporary);
    if (fd < 0)
        return systemReason(errno, "cannot create a temporary file");
    int error = writeAndFlush(fd, bytes, flush);
    if (::close(fd) != 0 && error == 0)
        error = errno;
    if (error != 0) {
        ::unlinkat(folder, temporary.constData(), 0);
        return systemReason(error, "cannot write the file");
    }
    error = moveIntoPlace(folder, temporary, name);
    return error != 0 ? systemReason(error, "cannot write the file") : QString();
}

#ifdef O_TMPFILE
// Linking an unnamed file needs its /proc entry (linking the descriptor
// itself needs a privilege).
bool procFileSystemPresent()
{
    static const bool present = ::access("/proc/self/fd", X_OK) == 0;
    return present;
}

// Gives the complete unnamed file fd its name in folder: straight away
// when the name is free, otherwise through a temporary name renamed over
// it, so the old file is replaced at once. 0 or the error.
int nameUnnamed(int fd, int folder, const QByteArray &name)
{
    char self[64];
    std::snprintf(self, sizeof self, "/proc/self/fd/%d", fd);
    if (::linkat(AT_FDCWD, self, folder, name.constData(), AT_SYMLINK_FOLLOW) == 0)
        return 0;
    if (errno != EEXIST)
        return errno;
    for (int attempt = 0; attempt < 100; ++attempt) {
        const QByteArray temporary = temporaryName();
        if (::linkat(AT_FDCWD, self, folder, temporary.constData(), AT_SYMLINK_FOLLOW) == 0)
            return moveIntoPlace(folder, temporary, name);
        if (errno != EEXIST)
            return errno;
    }
    return EEXIST;
}
#endif

// Writes bytes as name in folder, complete or not at all. The result is an
// empty string, or the system's reason.
QString writeWhole(int folder, const QByteArray &name, const QByteArray &bytes, bool unnamed, bool flush)
{
#ifdef O_TMPFILE
    if (unnamed && procFileSystemPresent()) {
        // An unnamed file in the folder: until it is linked, nothing but
        // this descriptor holds it, and a kill of the process frees it.
        const int fd = ::openat(folder, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
        if (fd >= 0) {
            int error = writeAndFlush(fd, bytes, flush);
            if (error == 0)
                error = nameUnnamed(fd, folder, name);
            // File systems that report write errors only on close (network
            // ones) have no unnamed files and take the named way, which
            // closes before it renames.
            ::close(fd);
            return error != 0 ? systemReason(error, "cannot write the file") : QString();
        }
        // Refused: file systems without unnamed files say EOPNOTSUPP,
        // EISDIR or EINVAL, and some answer EPERM for a folder removed
        // meanwhile. The named way is taken; when the folder is at fault
        // it fails as well, and says why in the words it always has.
    }
#else
    Q_UNUSED(unnamed)
#endif
    return writeThroughNamedTemporary(folder, name, bytes, flush);
}

} // namespace

QString portableCharacters(QString name)
{
    static const QString refused = QStringLiteral("/\\:*?\"<>|");
    for (QChar &c : name) {
        if (c.unicode() < 0x20 || refused.contains(c))
            c = QLatin1Char('_');
    }
    return name;
}

QString portableFileName(QString name)
{
    name = portableCharacters(std::move(name));
    if (name.endsWith(QLatin1Char('.')) || name.endsWith(QLatin1Char(' ')))
        name[name.size() - 1] = QLatin1Char('_');
    return name;
}

OutputWriter::OutputWriter(LogSink log)
    : log(std::move(log))
    , unnamedTemporaries(!qEnvironmentVariableIsSet(namedTemporariesVariable))
{
}

OutputWriter::~OutputWriter()
{
    commit();
    for (const Folder &folder : qAsConst(folders))
        ::close(folder.fd);
}

void OutputWriter::setBeforeWriteHook(std::function<void(const QString &)> hook)
{
    std::lock_guard<std::mutex> lock(hookMutex);
    hookInstalled = bool(hook);
    beforeWriteHook = std::move(hook);
}

bool OutputWriter::makeFolder(const QString &path)
{
    if (dryRun)
        return true;
    if (interruptionRequested())
        return false;
    const QString folder = withoutFinalSlashes(path);
    if (folders.contains(folder))
        return true;
    QString root;
    QString name;
    splitPath(folder, root, name);
    if (name.isEmpty()) // the file system's root
        name = QStringLiteral(".");
    // The root is the user's choice and may be a link; it is opened once
    // here, and the image folder made and opened relative to it.
    errno = 0;
    if (!QDir().mkpath(root))
        return fail(path, systemReason(errno, "cannot create the folder"));
    const int rootFd = ::open(QFile::encodeName(root).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (rootFd < 0)
        return fail(path, systemReason(errno, "cannot create the folder"));
    const QByteArray encoded = QFile::encodeName(name);
    QString reason;
    int fd = -1;
    if (::mkdirat(rootFd, encoded.constData(), 0777) != 0 && errno != EEXIST)
        reason = systemReason(errno, "cannot create the folder");
    else
        fd = openFolderAt(rootFd, encoded, reason);
    ::close(rootFd);
    if (fd < 0)
        return fail(path, reason);
    folders.insert(folder, Folder{fd, false});
    return true;
}

int OutputWriter::folderOf(const QString &folder, QString &reason)
{
    const auto known = folders.constFind(folder);
    if (known != folders.cend())
        return known->fd;
    const int fd = openFolderAt(AT_FDCWD, QFile::encodeName(folder), reason);
    if (fd >= 0)
        folders.insert(folder, Folder{fd, false});
    return fd;
}

bool OutputWriter::writeFile(const QString &path, const QByteArray &bytes)
{
    if (dryRun)
        return true;
    // Asked to stop: the files already written are complete, and no new
    // one is begun. Not a failure of this file, so nothing is reported:
    // the program says once that it was interrupted.
    if (interruptionRequested())
        return false;
    if (hookInstalled.load()) {
        std::function<void(const QString &)> hook;
        {
            std::lock_guard<std::mutex> lock(hookMutex);
            hook = beforeWriteHook;
        }
        if (hook)
            hook(path);
    }
    QString folderPath;
    QString name;
    splitPath(path, folderPath, name);
    QString reason;
    const int folder = folderOf(folderPath, reason);
    if (folder < 0)
        return fail(path, reason);
    Folder &state = folders[folderPath];
    if (!state.swept) {
        sweepStaleTemporaries(folder);
        state.swept = true;
    }
    const QByteArray encoded = QFile::encodeName(name);
    if (isLinkAt(folder, encoded.constData()))
        return fail(path, QStringLiteral("the file is a symbolic link"));
    if (durability == Durability::Batch) {
        // Naming waits for the commit; a folder in the way would make it
        // fail, and is told now, in the order of the writes.
        struct stat status;
        if (::fstatat(folder, encoded.constData(), &status, AT_SYMLINK_NOFOLLOW) == 0 && S_ISDIR(status.st_mode))
            return fail(path, systemReason(EISDIR, "cannot write the file"));
        if (!pending.isEmpty() && pendingFiles.load() >= pendingBudget())
            commit();
        reason = writePending(path, folder, encoded, bytes);
        if (!reason.isEmpty())
            return fail(path, reason);
        pending.last().folderPath = folderPath;
        return true;
    }
    reason = writeWhole(folder, encoded, bytes, unnamedTemporaries, durability == Durability::EachFile);
    if (!reason.isEmpty())
        return fail(path, reason);
    if (durability == Durability::EachFile)
        syncFolder(folderPath);
    return true;
}

QString OutputWriter::writePending(const QString &path, int folder, const QByteArray &name, const QByteArray &bytes)
{
    Pending file{path, QString(), folder, name, -1, QByteArray()};
#ifdef O_TMPFILE
    if (unnamedTemporaries && procFileSystemPresent())
        file.fd = ::openat(folder, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
    // Refused (see writeWhole): a named temporary instead.
#endif
    if (file.fd < 0) {
        file.fd = createTemporary(folder, file.temporary);
        if (file.fd < 0)
            return systemReason(errno, "cannot create a temporary file");
    }
    const int error = writeAndFlush(file.fd, bytes, false);
    if (error != 0) {
        ::close(file.fd);
        if (!file.temporary.isEmpty())
            ::unlinkat(folder, file.temporary.constData(), 0);
        return systemReason(error, "cannot write the file");
    }
    ++pendingFiles;
    pending.append(file);
    return QString();
}

void OutputWriter::commit()
{
    if (pending.isEmpty())
        return;
    QVector<Pending> files;
    files.swap(pending);
    // The data first, all at once: one flush of each folder's file system.
    // (An fdatasync of each file instead took more than twice as long on a
    // disk: each waits for its own journal commit.)
    QHash<int, int> folderErrors; // folder descriptor -> errno of its flush
    for (const Pending &file : qAsConst(files))
        if (!folderErrors.contains(file.folder))
            folderErrors.insert(file.folder, ::syncfs(file.folder) == 0 ? 0 : errno);
    // Then the names, in the order the files were written.
    QStringList named;
    for (int i = 0; i < files.size(); ++i) {
        const Pending &file = files.at(i);
        int error = folderErrors.value(file.folder);
        if (file.temporary.isEmpty()) {
#ifdef O_TMPFILE
            if (error == 0)
                error = nameUnnamed(file.fd, file.folder, file.name);
#endif
            ::close(file.fd);
        } else {
            // Network file systems report write errors on close.
            if (::close(file.fd) != 0 && error == 0)
                error = errno;
            if (error == 0)
                error = moveIntoPlace(file.folder, file.temporary, file.name);
            else
                ::unlinkat(file.folder, file.temporary.constData(), 0);
        }
        --pendingFiles;
        if (error != 0)
            fail(file.path, systemReason(error, "cannot write the file"));
        else if (!named.contains(file.folderPath))
            named << file.folderPath;
    }
    for (const QString &folder : qAsConst(named))
        syncFolder(folder);
}

// Flushes the folder's entries (the names just given), and the first time
// its own entry in its parent, which may be new too.
void OutputWriter::syncFolder(const QString &folderPath)
{
    const auto found = folders.find(folderPath);
    if (found == folders.end())
        return;
    ::fsync(found->fd);
    if (!found->synced) {
        const int parent = ::openat(found->fd, "..", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (parent >= 0) {
            ::fsync(parent);
            ::close(parent);
        }
        found->synced = true;
    }
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
    // The claimed path that one of all is, told apart from case or not; an
    // empty string when all are free.
    auto taken = [&](const QStringList &all) {
        for (const QString &path : all) {
            const auto found = claimed.constFind(path.toCaseFolded());
            if (found != claimed.cend())
                return *found;
        }
        return QString();
    };
    // Callers give names made portable; one that is not is mended here. A
    // final dot or blank only matters where no extension follows.
    const QString wanted = extension.isEmpty() ? portableFileName(stem) : portableCharacters(stem);
    const QString first = taken(paths(wanted));
    QString name = wanted;
    for (int n = 2; !taken(paths(name)).isEmpty(); ++n)
        name = wanted + QStringLiteral("~%1").arg(n);
    for (const QString &path : paths(name))
        claimed.insert(path.toCaseFolded(), path);
    if (name == stem || !log)
        return name + extension;
    QString why;
    if (first.isEmpty())
        why = QStringLiteral("%1 is not a valid file name on every file system").arg(stem + extension);
    else if (paths(wanted).contains(first))
        why = QStringLiteral("%1 is already an output of this rescue").arg(stem + extension);
    else
        why = QStringLiteral("%1 is already an output of this rescue as %2, which differs only in case")
                  .arg(stem + extension, first.mid(folder.size()));
    log(LogEntry::warning().text(QStringLiteral("%1; saved as %2").arg(why, name + extension)));
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
