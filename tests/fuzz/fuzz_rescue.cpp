// libFuzzer target: the whole rescue path from the bytes of one image file.
#include "rescuepath.h"

#include <QByteArray>
#include <QDir>
#include <QString>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <unistd.h>

namespace {

QString &scratchRoot()
{
    static QString root;
    return root;
}

void removeScratch()
{
    if (!scratchRoot().isEmpty())
        QDir(scratchRoot()).removeRecursively();
}

// One folder per fuzzing process, in memory when the system offers it: a
// conversion writes dozens of small files per input.
QString makeScratch()
{
    const QString base = QDir(QStringLiteral("/dev/shm")).exists() ? QStringLiteral("/dev/shm")
                                                                   : QDir::tempPath();
    const QString root = QStringLiteral("%1/malvore-fuzz-%2").arg(base).arg(getpid());
    QDir().mkpath(root);
    return root;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    scratchRoot() = makeScratch();
    std::atexit(removeScratch);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size > size_t(64 * 1024 * 1024))
        return 0;
    // No copy: a read one byte past the input is caught at the input's end.
    const QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char *>(data), int(size));
    const RescuePathResult result = runRescuePath(bytes, scratchRoot());
    if (!result.problem.isEmpty()) {
        std::fprintf(stderr, "rescue path invariant broken: %s\n", qPrintable(result.problem));
        std::abort();
    }
    clearScratch(scratchRoot());
    return 0;
}
