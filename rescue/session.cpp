#include "session.h"

#include "merge.h"
#include "report.h"

#include <QFileInfo>

RescueSession::RescueSession(LogSink log, QObject *parent)
    : QObject(parent)
    , sink(std::move(log))
    , dsk(new libdsk(this))
{
    connect(dsk, &libdsk::message, this, [this](const LogEntry &entry) {
        if (readerEntries)
            readerEntries->append(entry);
        report(entry);
    });
}

void RescueSession::report(const LogEntry &entry)
{
    if (sink)
        sink(entry);
}

template<typename Load>
LoadResult RescueSession::loadWith(Load loadImageFile)
{
    LoadResult result;
    QVector<LogEntry> entries;
    readerEntries = &entries;
    dsk->setSalvage(rescueOptions.salvage);
    LoadOutcome outcome = loadImageFile();
    readerEntries = nullptr;
    if (outcome.accepted) {
        outcome.row.reads = QStringList{outcome.row.name};
        if (rescueOptions.salvage)
            result.physical = readPhysical(*dsk);
    }
    // The row holds its own copy of every sector: the file bytes can go.
    dsk->reset();
    if (outcome.refused) {
        // The image was read well; the refusal alone says why it is not taken.
        report(outcome.refusal);
        result.status = LoadResult::Status::Refused;
        result.reasons = {outcome.refusal};
        return result;
    }
    if (outcome.accepted) {
        result.status = LoadResult::Status::Accepted;
        result.row = std::move(outcome.row);
    }
    // The first entry is the reader's "Opening file" line, not a reason.
    result.reasons = entries.mid(1);
    return result;
}

LoadResult RescueSession::load(const QString &path)
{
    LoadResult result = loadWith([&] { return loadImage(*dsk, path); });
    result.row.sources = QStringList{path};
    return result;
}

LoadResult RescueSession::loadData(const QByteArray &bytes, const QString &name)
{
    return loadWith([&] { return loadImageData(*dsk, bytes, name); });
}

void RescueSession::beginConversion(int count)
{
    report(LogEntry::info().rule().text(QStringLiteral("%1 image(s) selelcted to conversion").arg(count)));
}

ConversionReport RescueSession::convert(const ImageRow &row, const QString &outputRoot)
{
    report(LogEntry::info().lineBreak().text(QStringLiteral("Image ")).strong(row.name).text(QStringLiteral(" :")));
    ConversionJob job = conversionJob(row, outputRoot);
    job.writeReport = rescueOptions.writeReport;
    if (catalogVariant(row.format) != 0)
        job.folderName = claimFolder(safeImageName(row.name));
    return convertImage(job, tap, [this](const LogEntry &entry) { report(entry); });
}

QString RescueSession::claimFolder(const QString &wanted)
{
    QString folder = wanted;
    for (int n = 2; claimedFolders.contains(folder); ++n)
        folder = wanted + QStringLiteral("~%1").arg(n);
    claimedFolders.insert(folder);
    if (folder != wanted)
        report(LogEntry::warning().text(
            QStringLiteral("The folder %1 holds another image of this run; saved into %2").arg(wanted, folder)));
    return folder;
}

ConversionJob conversionJob(const ImageRow &row, const QString &outputRoot)
{
    ConversionJob job;
    job.imageName = row.name;
    job.tracks = row.tracks;
    job.format = row.format;
    job.data = row.data;
    job.map = row.map;
    job.outputRoot = outputRoot;
    job.salvage = row.salvage;
    job.states = row.states;
    job.sides = row.sides;
    job.readNames = row.reads;
    job.agreement = row.agreement;
    job.supplier = row.supplier;
    return job;
}

bool RescueSession::exportReport(const ImageRow &row, const QString &folder)
{
    ConversionJob job = conversionJob(row, folder);
    job.dryRun = true;
    job.collectDetails = true;
    libtap scratchTap;
    const ConversionReport details = convertImage(job, scratchTap, [](const LogEntry &) {});
    if (!details.converted)
        return false;
    OutputWriter out([this](const LogEntry &entry) { report(entry); });
    const QString base = folder + QLatin1Char('/') + safeImageName(row.name);
    const bool written = out.writeFile(base + QStringLiteral(".sectors.csv"), sectorsCsv(job, details))
                         & out.writeFile(base + QStringLiteral(".files.csv"), filesCsv(details));
    if (written)
        report(LogEntry::info().text(QStringLiteral("Sector report written to %1.sectors.csv and %1.files.csv").arg(base)));
    return written;
}

LoadResult RescueSession::merge(const QStringList &paths)
{
    LoadResult result;
    QVector<PhysicalDisk> reads;
    QStringList names;
    for (const QString &path : paths) {
        QVector<LogEntry> entries;
        readerEntries = &entries;
        dsk->setSalvage(true);
        const int opened = dsk->open(path);
        readerEntries = nullptr;
        if (opened < 0) {
            result.refusedReads.append({path, entries.mid(1)});
            continue;
        }
        reads << readPhysical(*dsk, reads.size() + 1);
        names << QFileInfo(path).completeBaseName();
        dsk->reset();
    }
    if (reads.isEmpty())
        return result;
    for (int r = 1; r < reads.size(); ++r) {
        if (reads.at(r).sides != reads.first().sides) {
            const LogEntry refusal = LogEntry::error().text(
                QStringLiteral("Cannot merge %1 with %2: %3 side(s) against %4")
                    .arg(names.at(r), names.first())
                    .arg(reads.at(r).sides)
                    .arg(reads.first().sides));
            report(refusal);
            result.status = LoadResult::Status::Refused;
            result.reasons = {refusal};
            return result;
        }
    }
    result.physical = mergeReads(reads, names, [this](const LogEntry &entry) { report(entry); });
    const int missing = dsk->openPhysical(result.physical);
    const DiskFormat format = detectFormat(*dsk);
    if (missing < 0 || format == DiskFormat::Cpm) {
        const LogEntry refusal = LogEntry::error().text(QStringLiteral("CPM disks are not supported"));
        report(refusal);
        result.status = LoadResult::Status::Refused;
        result.reasons = {refusal};
        dsk->reset();
        return result;
    }
    dsk->setSalvage(true);
    result.row = buildImageRow(*dsk, names.first(), missing, format);
    dsk->reset();
    result.row.reads = names;
    result.row.sources = paths;
    for (int i = 0; i < result.row.map.size(); ++i) {
        const SectorPlace place = sectorPlace(result.row, i);
        const int p = PhysicalDisk::place(place.track, place.side, place.sectorId);
        result.row.agreement[i] = result.physical.agreement.at(p);
        result.row.supplier[i] = result.physical.supplier.at(p);
    }
    result.status = LoadResult::Status::Accepted;
    return result;
}

bool RescueSession::writeBestImage(const PhysicalDisk &disk, const QString &path, LogEntry::WriteFailure *failure)
{
    OutputWriter out([this](const LogEntry &entry) { report(entry); });
    bool written = false;
    // The size table of the container's header has room for 204 track sides.
    if (disk.tracks * disk.sides > 204) {
        LogEntry entry = LogEntry::error().text(
            QStringLiteral("Cannot write %1: more than 204 track sides do not fit an Extended DSK image").arg(path));
        entry.failure = {path, QStringLiteral("more than 204 track sides")};
        report(entry);
        if (failure)
            *failure = entry.failure;
        return false;
    }
    written = out.writeFile(path, extendedDskImage(disk, QByteArrayLiteral("TOS Malvore")));
    if (written)
        report(LogEntry::info().text(QStringLiteral("Best image written to %1").arg(path)));
    else if (failure && !out.failures().isEmpty())
        *failure = out.failures().first();
    return written;
}
