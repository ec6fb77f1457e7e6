// Times the stages of rescuing one image, each over many runs: load + detect
// + row building from the file and from memory, then the conversion with all
// its outputs.
#include "rescue/session.h"
#include "imagelist/imagerow.h"
#include "rescue/conversion.h"

#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <cstdio>
#include <cstdlib>
#include <functional>

namespace {

// Mean milliseconds of one run of work.
double meanMs(int runs, const std::function<void()> &work)
{
    QElapsedTimer timer;
    timer.start();
    for (int i = 0; i < runs; ++i)
        work();
    return double(timer.nsecsElapsed()) / 1e6 / runs;
}

} // namespace

int main(int argc, char *argv[])
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: bench_load IMAGE [RUNS]\n");
        return 2;
    }
    const QString path = QString::fromLocal8Bit(argv[1]);
    const int runs = argc > 2 ? qMax(1, std::atoi(argv[2])) : 200;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "bench_load: cannot read %s\n", argv[1]);
        return 1;
    }
    const QByteArray bytes = file.readAll();
    const QString name = QFileInfo(path).completeBaseName();

    // Everything goes through the session, as the window and the batch tool do.
    RescueSession session([](const LogEntry &) {});
    LoadResult loaded = session.load(path);
    if (loaded.status != LoadResult::Status::Accepted) {
        std::fprintf(stderr, "bench_load: %s is not an accepted image\n", argv[1]);
        return 1;
    }
    std::printf("image %s: %d tracks, %d sides, %s, %d sectors in the row\n", qPrintable(name),
                loaded.row.tracks, loaded.row.sides, qPrintable(formatText(loaded.row.format)),
                loaded.row.sectorCount());

    const double fromFile = meanMs(runs, [&] { loaded = session.load(path); });
    const double fromMemory = meanMs(runs, [&] { loaded = session.loadData(bytes, name); });
    std::printf("load + detect + row, from the file : %8.3f ms  (%d runs)\n", fromFile, runs);
    std::printf("load + detect + row, from memory   : %8.3f ms  (%d runs)\n", fromMemory, runs);

    QTemporaryDir output;
    ConversionReport report;
    const int conversions = qMax(1, runs / 10);
    const double convert = meanMs(conversions, [&] {
        session.startRun();
        report = session.convert(loaded.row, output.path());
    });
    std::printf("conversion with all outputs        : %8.3f ms  (%d runs; %d catalog files, %d lost blocks)\n",
                convert, conversions, report.catalogFiles, report.lostBlocks);
    return report.writeFailures == 0 ? 0 : 1;
}
