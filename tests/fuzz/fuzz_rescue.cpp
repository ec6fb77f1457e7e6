// libFuzzer target: the whole rescue path from the bytes of one image file.
#include "rescuepath.h"

#include <QByteArray>
#include <QCryptographicHash>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
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

// The input that took longest so far, whole rescue path and clean-up.
struct Slowest
{
    qint64 nanoseconds = -1;
    QByteArray input;
};

Slowest &slowest()
{
    static Slowest input;
    return input;
}

// At the end of a run: how long the slowest input took, its size and its
// SHA-1 (libFuzzer names inputs by it); with MALVORE_FUZZ_SLOWEST=FILE the
// input itself is written there, for a look or a regression.
void reportSlowest()
{
    const Slowest &worst = slowest();
    if (worst.nanoseconds < 0)
        return;
    std::fprintf(stderr, "fuzz_rescue: slowest input %.1f ms, %d bytes, sha1 %s\n", worst.nanoseconds / 1e6,
                 int(worst.input.size()),
                 QCryptographicHash::hash(worst.input, QCryptographicHash::Sha1).toHex().constData());
    const QString path = QString::fromLocal8Bit(qgetenv("MALVORE_FUZZ_SLOWEST"));
    if (path.isEmpty())
        return;
    QFile file(path);
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(worst.input) == worst.input.size())
        std::fprintf(stderr, "fuzz_rescue: slowest input written to %s\n", qPrintable(path));
    else
        std::fprintf(stderr, "fuzz_rescue: cannot write %s\n", qPrintable(path));
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    scratchRoot() = makeScratch();
    std::atexit(removeScratch);
    // Made before its report is registered, so that it is destroyed after
    // the report ran.
    slowest();
    std::atexit(reportSlowest);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size > size_t(64 * 1024 * 1024))
        return 0;
    // No copy: a read one byte past the input is caught at the input's end.
    const QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char *>(data), int(size));
    QElapsedTimer timer;
    timer.start();
    const RescuePathResult result = runRescuePath(bytes, scratchRoot());
    if (!result.problem.isEmpty()) {
        std::fprintf(stderr, "rescue path invariant broken: %s\n", qPrintable(result.problem));
        std::abort();
    }
    clearScratch(scratchRoot());
    const qint64 elapsed = timer.nsecsElapsed();
    if (elapsed > slowest().nanoseconds) {
        slowest().nanoseconds = elapsed;
        slowest().input = QByteArray(reinterpret_cast<const char *>(data), int(size));
    }
    return 0;
}
