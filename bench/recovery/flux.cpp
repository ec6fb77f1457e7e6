// The flux levels: per level, disks written as flux with noise and damage,
// then for each
// - the core's read of the flux (in process): sectors good in revolution 1,
//   good in any revolution, repaired, still bad, and sectors called good or
//   repaired whose bytes are not the disk's (false confidence);
// - malvore-rescue --report on the flux against the same on the clean
//   Extended DSK: catalog files byte-exact, and files called complete whose
//   bytes differ (false confidence);
// - the time the core takes to read the flux, beside reading the Extended
//   DSK of the same disk, on one core.
#include "flux.h"

#include "disk/diskread.h"
#include "fluxwriter.h"
#include "tosdisk.h"

#include <QDir>
#include <QFile>
#include <QMap>
#include <QProcess>
#include <QRegularExpression>

#include <cstdio>
#include <ctime>
#include <random>

namespace {

constexpr int tracks = 80;
constexpr int sides = 2;
constexpr int revolutions = 5;

struct FluxLevel
{
    const char *name;
    double jitter;
    double speed;
    double drift;
    int weakAreas;     // per disk, anew every revolution
    double dropouts;   // chance per track side and revolution
    int fixedDefects;  // per disk: defects and dropouts in the same place every revolution
};

const FluxLevel fluxLevels[] = {
    {"clean", 0.0, 1.0, 0.0, 0, 0.0, 0},
    {"drift", 0.08, 1.03, 0.03, 0, 0.0, 0},
    {"weak", 0.05, 1.0, 0.02, 32, 0.0, 0},
    {"weak+dropouts", 0.05, 0.98, 0.02, 32, 0.05, 0},
    {"weak+defects", 0.06, 1.02, 0.02, 32, 0.02, 12},
};

struct Score
{
    int disks = 0;
    int sectors = 0;   // sectors the disks hold
    int goodFirst = 0;
    int goodAny = 0;
    int repaired = 0;
    int stillBad = 0;
    int falseSectors = 0; // good or repaired, wrong bytes
    int files = 0;        // catalog files of the clean rescue
    int exact = 0;
    int falseFiles = 0; // complete, wrong bytes
    int runsFailed = 0;
    double fluxSeconds = 0;
    double edskSeconds = 0;
};

// The calling thread's processor time: one core's work, whatever else runs.
double threadSeconds()
{
    timespec now;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return double(now.tv_sec) + now.tv_nsec / 1e9;
}

bool writeBytes(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size();
}

QByteArray readBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// files.csv as rows of named cells (no cell of these holds a comma).
QVector<QMap<QString, QString>> filesCsv(const QString &path)
{
    QVector<QMap<QString, QString>> rows;
    const QList<QByteArray> lines = readBytes(path).split('\n');
    if (lines.isEmpty())
        return rows;
    const QStringList header = QString::fromUtf8(lines.first()).trimmed().split(QLatin1Char(','));
    for (int i = 1; i < lines.size(); ++i) {
        const QStringList cells = QString::fromUtf8(lines.at(i)).trimmed().split(QLatin1Char(','));
        if (cells.size() != header.size())
            continue;
        QMap<QString, QString> row;
        for (int c = 0; c < header.size(); ++c)
            row[header.at(c)] = cells.at(c);
        rows << row;
    }
    return rows;
}

bool rescueInto(const QString &rescue, const QString &out, const QString &image)
{
    QProcess process;
    process.setStandardOutputFile(QProcess::nullDevice());
    process.start(rescue, {QStringLiteral("--quiet"), QStringLiteral("--report"), QStringLiteral("--jobs"),
                           QStringLiteral("1"), QStringLiteral("--no-sync"), QStringLiteral("--output"), out, image});
    return process.waitForFinished(600000) && process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
}

fluxwriter::Damage randomDamage(std::mt19937 &dice, fluxwriter::Damage::Kind kind, const PhysicalDisk &truth)
{
    fluxwriter::Damage damage;
    damage.kind = kind;
    do {
        damage.track = int(dice() % tracks);
        damage.side = int(dice() % sides);
        damage.sectorId = int(dice() % 16);
    } while (!truth.sectors.isRead(PhysicalDisk::place(damage.track, damage.side, damage.sectorId)));
    damage.length = kind == fluxwriter::Damage::Kind::Weak ? 2 + int(dice() % 15) : 1 + int(dice() % 6);
    damage.offset = int(dice() % (256 - damage.length));
    damage.chance = 0.15 + 0.05 * (dice() % 5);
    return damage;
}

int number(const QString &text, const char *pattern)
{
    const QRegularExpressionMatch match = QRegularExpression(QLatin1String(pattern)).match(text);
    return match.hasMatch() ? match.captured(1).toInt() : -1;
}

void scoreDisk(const QString &rescue, const QString &folder, const FluxLevel &level, int d, quint32 seed, Score &score)
{
    std::mt19937 dice(seed * 7919u + quint32(d) * 104729u);
    tosdisk::Disk layout = tosdisk::sampleDisk(tracks, sides, d % 2 == 0, seed * 100 + quint32(d), 70);
    layout.extended = true;
    const QByteArray edsk = tosdisk::build(layout);
    const DiskRead clean = readDiskBytes(edsk, QStringLiteral("clean"));
    if (!clean.accepted()) {
        ++score.runsFailed;
        return;
    }
    const PhysicalDisk &truth = clean.disk;
    fluxwriter::KnownDisk known(tracks, sides);
    for (int t = 0; t < tracks; ++t)
        for (int s = 0; s < sides; ++s)
            for (int id = 0; id < 16; ++id) {
                const int p = PhysicalDisk::place(t, s, id);
                known.sector(t, s, id) = truth.sectors.isRead(p) ? truth.sectors.sectorBytes(p) : QByteArray();
            }
    fluxwriter::Options options;
    options.revolutions = revolutions;
    options.seed = dice();
    options.jitter = level.jitter;
    options.speed = level.speed;
    options.drift = level.drift;
    options.dropoutChance = level.dropouts;
    for (int i = 0; i < level.weakAreas; ++i)
        options.damage << randomDamage(dice, fluxwriter::Damage::Kind::Weak, truth);
    for (int i = 0; i < level.fixedDefects; ++i)
        options.damage << randomDamage(dice, i % 2 ? fluxwriter::Damage::Kind::Dropout : fluxwriter::Damage::Kind::Defect,
                                       truth);
    const QByteArray scp = fluxwriter::writeScp(known, options);

    double start = threadSeconds();
    const DiskRead flux = readDiskBytes(scp, QStringLiteral("flux"));
    score.fluxSeconds += threadSeconds() - start;
    start = threadSeconds();
    readDiskBytes(edsk, QStringLiteral("edsk"));
    score.edskSeconds += threadSeconds() - start;
    ++score.disks;
    if (!flux.accepted()) {
        ++score.runsFailed;
        return;
    }
    QString log;
    for (const LogEntry &entry : flux.entries)
        for (const LogEntry::Part &part : entry.parts)
            log += part.text + QLatin1Char('\n');
    score.goodFirst += number(log, "(\\d+) sector\\(s\\) good in revolution 1");
    for (int t = 0; t < tracks; ++t)
        for (int s = 0; s < sides; ++s)
            for (int id = 0; id < 16; ++id) {
                const int p = PhysicalDisk::place(t, s, id);
                if (!truth.sectors.isRead(p))
                    continue;
                ++score.sectors;
                const SectorState state = flux.disk.sectors.state(p);
                score.goodAny += state == SectorState::Good;
                score.repaired += state == SectorState::Repaired;
                score.stillBad += !isClean(state);
                if (isClean(state) && flux.disk.sectors.sectorBytes(p) != truth.sectors.sectorBytes(p))
                    ++score.falseSectors;
            }

    // The same stem for both, so that both rescues name their folder alike.
    const QString stem = QStringLiteral("d%1").arg(d, 2, 10, QLatin1Char('0'));
    const QString cleanDir = folder + QStringLiteral("/clean");
    const QString fluxDir = folder + QStringLiteral("/flux");
    QDir().mkpath(cleanDir);
    QDir().mkpath(fluxDir);
    const QString edskPath = cleanDir + QLatin1Char('/') + stem + QStringLiteral(".dsk");
    const QString scpPath = fluxDir + QLatin1Char('/') + stem + QStringLiteral(".scp");
    if (!writeBytes(edskPath, edsk) || !writeBytes(scpPath, scp) || !rescueInto(rescue, cleanDir + QStringLiteral("/out"), edskPath)
        || !rescueInto(rescue, fluxDir + QStringLiteral("/out"), scpPath)) {
        ++score.runsFailed;
        return;
    }
    QFile::remove(scpPath); // 60 MB each
    const QString cleanOut = cleanDir + QStringLiteral("/out/") + stem + QLatin1Char('/');
    const QString fluxOut = fluxDir + QStringLiteral("/out/") + stem + QLatin1Char('/');
    QMap<QString, QByteArray> reference;
    for (const auto &row : filesCsv(cleanOut + stem + QStringLiteral(".files.csv")))
        reference[row.value(QStringLiteral("file"))] = readBytes(cleanOut + row.value(QStringLiteral("file")));
    for (const auto &row : filesCsv(cleanOut + stem + QStringLiteral(".files.csv")))
        if (!row.value(QStringLiteral("file")).startsWith(QLatin1String("sector_"))) {
            ++score.files;
            const QString file = row.value(QStringLiteral("file"));
            score.exact += QFile::exists(fluxOut + file) && readBytes(fluxOut + file) == reference.value(file);
        }
    for (const auto &row : filesCsv(fluxOut + stem + QStringLiteral(".files.csv"))) {
        const QString file = row.value(QStringLiteral("file"));
        if (row.value(QStringLiteral("verdict")) == QLatin1String("complete")
            && (!reference.contains(file) || readBytes(fluxOut + file) != reference.value(file)))
            ++score.falseFiles;
    }
}

} // namespace

bool runFluxLevels(const QString &rescue, const QString &work, int disks, quint32 seed)
{
    if (qgetenv("RECOVERY_FLUX") == "0")
        return true;
    bool ok = false;
    const int fluxDisks = qgetenv("RECOVERY_FLUX_DISKS").toInt(&ok);
    if (ok && fluxDisks > 0)
        disks = fluxDisks;
    std::printf("\nFlux levels: %d disk(s) of %d x %d tracks each, %d revolutions, as SCP flux; the core's read and "
                "malvore-rescue against the clean Extended DSK\n",
                disks, tracks, sides, revolutions);
    std::printf("%-14s %8s %9s %9s %9s %9s %9s %11s %11s %8s %8s\n", "level", "sectors", "good r1", "good any",
                "no clean", "repaired", "still bad", "files exact", "false conf.", "flux s", "EDSK s");
    bool fine = true;
    int weakNoClean = 0;
    int weakRepaired = 0;
    int falseConfidence = 0;
    double slowest = 0;
    for (const FluxLevel &level : fluxLevels) {
        Score score;
        const QString folder = work + QStringLiteral("/flux/") + QLatin1String(level.name);
        for (int d = 0; d < disks; ++d)
            scoreDisk(rescue, folder, level, d, seed, score);
        const int noClean = score.sectors - score.goodAny;
        std::printf("%-14s %8d %9d %9d %9d %9d %9d %5d / %-3d %5d+%-5d %8.3f %8.4f\n", level.name, score.sectors,
                    score.goodFirst, score.goodAny, noClean, score.repaired, score.stillBad, score.exact, score.files,
                    score.falseSectors, score.falseFiles, score.fluxSeconds / qMax(1, score.disks),
                    score.edskSeconds / qMax(1, score.disks));
        fine = fine && score.runsFailed == 0;
        if (score.runsFailed > 0)
            std::printf("  %d run(s) failed\n", score.runsFailed);
        if (QByteArray(level.name) == "weak") {
            weakNoClean += noClean;
            weakRepaired += score.repaired;
        }
        falseConfidence += score.falseSectors + score.falseFiles;
        slowest = qMax(slowest, score.fluxSeconds / qMax(1, score.disks));
    }
    std::printf("(false conf.: sectors called good or repaired with wrong bytes + files called complete with wrong "
                "bytes; times: processor seconds of the core's read of one disk)\n");
    const bool noFalse = falseConfidence == 0;
    const bool halfRepaired = weakNoClean == 0 || 2 * weakRepaired >= weakNoClean;
    const bool quick = slowest < 1.0;
    std::printf("Flux goal, false confidence 0: %s (%d)\n", noFalse ? "met" : "MISSED", falseConfidence);
    std::printf("Flux goal, weak areas: repair recovers at least half the sectors no revolution read cleanly: %s "
                "(%d of %d)\n",
                halfRepaired ? "met" : "MISSED", weakRepaired, weakNoClean);
    std::printf("Flux goal, an 80 x 2 disk of 5 revolutions read in under 1 s: %s (%.3f s at the slowest level)\n",
                quick ? "met" : "MISSED", slowest);
    return fine && noFalse && halfRepaired && quick;
}
