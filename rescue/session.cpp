#include "session.h"

#include "folderclaim.h"
#include "interruption.h"
#include "catalogrepair.h"
#include "merge.h"
#include "report.h"

#include <QDataStream>
#include <QFileInfo>
#include <QMultiHash>
#include <QMutex>
#include <QMutexLocker>
#include <QThread>
#include <QWaitCondition>

#include <vector>

namespace {

LoadResult resultOf(LoadOutcome outcome, bool keepPhysical)
{
    LoadResult result;
    result.entries = outcome.read.entries;
    if (outcome.accepted && keepPhysical)
        result.physical = std::move(outcome.read.disk);
    if (outcome.refused) {
        // The image was read well; the refusal alone says why it is not taken.
        result.entries.append(outcome.refusal);
        result.status = LoadResult::Status::Refused;
        result.reasons = {outcome.refusal};
        return result;
    }
    if (outcome.accepted) {
        result.status = LoadResult::Status::Accepted;
        result.row = std::move(outcome.row);
        result.row.reads = QStringList{result.row.name};
    }
    // The first entry is the reader's "Opening file" line, not a reason.
    result.reasons = outcome.read.entries.mid(1);
    return result;
}

LogEntry cpmRefusal()
{
    return LogEntry::error().text(QStringLiteral("CPM disks are not supported"));
}

} // namespace

RescueSession::RescueSession(LogSink log, QObject *parent)
    : QObject(parent)
    , sink(std::move(log))
    , reader(new libdsk(this))
{
    connect(reader, &libdsk::message, this, [this](const LogEntry &entry) { report(entry); });
}

void RescueSession::reportRead(const QVector<LogEntry> &entries)
{
    for (const LogEntry &entry : entries)
        emit reader->message(entry);
}

void RescueSession::report(const LogEntry &entry)
{
    if (sink)
        sink(entry);
}

void RescueSession::reportAll(const QVector<LogEntry> &entries)
{
    for (const LogEntry &entry : entries)
        report(entry);
}

LoadResult RescueSession::loadQuietly(const QString &path) const
{
    const ReadOptions read{rescueOptions.salvage, 1};
    LoadResult result = resultOf(loadImage(path, read), rescueOptions.salvage);
    result.row.sources = QStringList{path};
    return result;
}

LoadResult RescueSession::load(const QString &path)
{
    LoadResult result = loadQuietly(path);
    reportRead(result.entries);
    return result;
}

LoadResult RescueSession::loadData(const QByteArray &bytes, const QString &name)
{
    const ReadOptions read{rescueOptions.salvage, 1};
    LoadResult result = resultOf(loadImageData(bytes, name, read), rescueOptions.salvage);
    reportRead(result.entries);
    return result;
}

LoadResult RescueSession::merge(const QStringList &paths)
{
    LoadResult result = mergeQuietly(paths);
    reportRead(result.entries);
    return result;
}

QString mergedImageName(const QString &firstRead)
{
    return firstRead + QStringLiteral("-merged");
}

LoadResult RescueSession::mergeQuietly(const QStringList &paths) const
{
    LoadResult result;
    QVector<PhysicalDisk> reads;
    QStringList names;
    QMultiHash<uint, int> contents; // the reads taken, by a hash of their sectors
    for (const QString &path : paths) {
        DiskRead read = readDiskFile(path, ReadOptions{true, reads.size() + 1});
        result.entries += read.entries;
        if (!read.accepted()) {
            result.refusedReads.append({path, read.entries.mid(1)});
            continue;
        }
        // The same read given twice (the same file, or a copy of it) would
        // count as two agreeing reads: it is merged once.
        const uint hash = qHash(read.disk.sectors.bytes()) ^ uint(read.disk.tracks * 4 + read.disk.sides);
        const QString name = QFileInfo(path).completeBaseName();
        int same = -1;
        for (auto it = contents.constFind(hash); it != contents.constEnd() && it.key() == hash && same < 0; ++it) {
            const PhysicalDisk &earlier = reads.at(it.value());
            if (earlier.tracks == read.disk.tracks && earlier.sides == read.disk.sides
                && earlier.sectors == read.disk.sectors)
                same = it.value();
        }
        if (same >= 0) {
            result.entries.append(LogEntry::warning().text(
                QStringLiteral("%1 holds the same read as read %2 (%3); merged once").arg(name).arg(same + 1).arg(
                    names.at(same))));
            continue;
        }
        contents.insert(hash, reads.size());
        reads << std::move(read.disk);
        names << name;
    }
    if (reads.isEmpty())
        return result;
    auto refuse = [&result](const LogEntry &refusal) {
        result.entries.append(refusal);
        result.status = LoadResult::Status::Refused;
        result.reasons = {refusal};
        return result;
    };
    for (int r = 1; r < reads.size(); ++r) {
        if (reads.at(r).sides != reads.first().sides)
            return refuse(LogEntry::error().text(QStringLiteral("Cannot merge %1 with %2: %3 side(s) against %4")
                                                     .arg(names.at(r), names.first())
                                                     .arg(reads.at(r).sides)
                                                     .arg(reads.first().sides)));
    }
    // Each read is compared with the first, whose name the merge takes.
    for (int r = 1; r < reads.size(); ++r) {
        const MergeCheck check = compareReads(reads.at(r), reads.first());
        if (!check.differentDisks())
            continue;
        if (!rescueOptions.forceMerge)
            return refuse(LogEntry::error().text(
                QStringLiteral("Cannot merge %1 with %2: %3 of %4 non-blank good sectors they share differ; they "
                               "look like reads of different disks")
                    .arg(names.at(r), names.first())
                    .arg(check.differing)
                    .arg(check.shared)));
        result.entries.append(LogEntry::warning().text(
            QStringLiteral("%1 and %2 look like reads of different disks (%3 of %4 non-blank good sectors "
                           "they share differ); merged as asked")
                .arg(names.at(r), names.first())
                .arg(check.differing)
                .arg(check.shared)));
    }
    DiskRead merged;
    merged.refusal = DiskRead::Refusal::None;
    merged.disk = mergeReads(reads, names, [&result](const LogEntry &entry) { result.entries.append(entry); });
    if (merged.disk.sides < 1 || merged.disk.tracks < 1)
        return refuse(cpmRefusal());
    const PhysicalDisk &disk = merged.disk;
    merged.missing = disk.tracks * disk.sides * geometry::sectorsPerSide;
    for (int t = 0; t < disk.tracks; ++t)
        for (int s = 0; s < disk.sides; ++s)
            for (int id = 0; id < geometry::sectorsPerSide; ++id)
                merged.missing -= disk.state(t, s, id) != SectorState::Missing;
    // The merged disk is classified as an opened one is.
    LoadOutcome outcome = classifyDisk(std::move(merged), names.first(), true);
    if (outcome.refused)
        return refuse(cpmRefusal());
    result.physical = std::move(outcome.read.disk);
    result.row = std::move(outcome.row);
    result.row.name = mergedImageName(result.row.name);
    result.row.reads = names;
    result.row.sources = paths;
    result.status = LoadResult::Status::Accepted;
    return result;
}

void RescueSession::beginConversion(int count)
{
    report(LogEntry::info().rule().text(QStringLiteral("%1 image(s) selelcted to conversion").arg(count)));
}

ConversionOptions RescueSession::conversionOptions(const ImageRow &row, const QString &outputRoot,
                                                   QVector<LogEntry> &entries)
{
    entries.append(LogEntry::info().lineBreak().text(QStringLiteral("Image ")).strong(row.name).text(
        QStringLiteral(" :")));
    ConversionOptions options;
    options.outputRoot = outputRoot;
    options.writeReport = rescueOptions.writeReport;
    options.sync = rescueOptions.sync;
    options.leaveOut = row.leftOut;
    options.undelete = rescueOptions.undelete;
    options.layout = rescueOptions.layout;
    CatalogLayout layout;
    QString guess;
    if (catalogLayout(rescueFormat(row, options.layout, guess), row.tracks, layout))
        options.folderName = claimFolder(outputRoot, safeImageName(row.name), row.sources.value(0), entries);
    return options;
}

ConversionReport RescueSession::convert(const ImageRow &row, const QString &outputRoot)
{
    QVector<LogEntry> entries;
    const ConversionOptions options = conversionOptions(row, outputRoot, entries);
    reportAll(entries);
    return convertImage(row, options, [this](const LogEntry &entry) { report(entry); });
}

QString RescueSession::claimFolder(const QString &outputRoot, const QString &wanted, const QString &sourceFile,
                                   QVector<LogEntry> &entries)
{
    // Rows read from a file claim a folder that no other image's rescue
    // holds; rows made in memory only keep apart within the run.
    const QString source = sourceFile.isEmpty() ? QString() : QFileInfo(sourceFile).absoluteFilePath();
    QString folder = wanted;
    bool otherRun = false;
    QString otherImage;
    for (int n = 2;; ++n) {
        // Folders that differ only in case are one folder on FAT, exFAT,
        // NTFS and macOS volumes.
        if (claimedFolders.contains(folder.toCaseFolded())) {
            otherRun = true;
        } else {
            QString holder;
            if (source.isEmpty() || claimImageFolder(outputRoot, folder, source, &holder))
                break;
            if (otherImage.isEmpty())
                otherImage = holder;
        }
        folder = wanted + QStringLiteral("~%1").arg(n);
    }
    claimedFolders.insert(folder.toCaseFolded());
    if (folder != wanted && otherRun)
        entries.append(LogEntry::warning().text(
            QStringLiteral("The folder %1 holds another image of this run; saved into %2").arg(wanted, folder)));
    else if (folder != wanted)
        entries.append(LogEntry::warning().text(
            QStringLiteral("The folder %1 holds the rescue of another image (%2); saved into %3")
                .arg(wanted, otherImage, folder)));
    return folder;
}

namespace {

// Entries held back until a batch's loads are done: packed as UTF-8 and
// compressed, they take a few hundred bytes an image, so the memory of a
// batch stays flat in its number of images.
QByteArray packEntries(const QVector<LogEntry> &entries)
{
    QByteArray packed;
    QDataStream out(&packed, QIODevice::WriteOnly);
    out << quint32(entries.size());
    for (const LogEntry &entry : entries) {
        out << quint8(entry.kind) << entry.failure.path.toUtf8() << entry.failure.reason.toUtf8()
            << quint32(entry.parts.size());
        for (const LogEntry::Part &part : entry.parts)
            out << quint8(part.type) << part.text.toUtf8();
    }
    return qCompress(packed, 1);
}

QVector<LogEntry> unpackEntries(const QByteArray &packed)
{
    QDataStream in(qUncompress(packed));
    quint32 count = 0;
    in >> count;
    QVector<LogEntry> entries;
    for (quint32 e = 0; e < count && in.status() == QDataStream::Ok; ++e) {
        LogEntry entry;
        quint8 kind = 0;
        QByteArray path;
        QByteArray reason;
        quint32 parts = 0;
        in >> kind >> path >> reason >> parts;
        entry.kind = LogEntry::Kind(kind);
        entry.failure = {QString::fromUtf8(path), QString::fromUtf8(reason)};
        for (quint32 p = 0; p < parts && in.status() == QDataStream::Ok; ++p) {
            quint8 type = 0;
            QByteArray text;
            in >> type >> text;
            entry.parts.append(LogEntry::Part{LogEntry::Part::Type(type), QString::fromUtf8(text)});
        }
        entries.append(entry);
    }
    return entries;
}

// One image of a Save on its way through the pool.
struct SaveSlot
{
    bool fetched = false;
    bool converting = false;
    bool converted = false;
    LoadResult loaded;
    QVector<LogEntry> entries; // of the conversion, the "Image" entry first
    QByteArray heldEntries;    // the same, packed, while a batch holds them
    ConversionReport report;
};

// The slots of one Save and the lock that guards them; the calling thread
// waits here for the pool.
class SaveBoard
{
public:
    explicit SaveBoard(int count)
        : images(size_t(count))
    {
    }

    template<typename Done>
    void finish(int index, Done done)
    {
        QMutexLocker lock(&mutex);
        done(images[size_t(index)]);
        changed.wakeAll();
    }

    // Waits until ready holds; progress is asked every so often and after
    // every change, and may cancel.
    template<typename Ready>
    void waitFor(Ready ready, const std::function<bool()> &progress, bool &cancelled)
    {
        QMutexLocker lock(&mutex);
        while (!ready()) {
            changed.wait(&mutex, 50);
            if (progress && !cancelled) {
                lock.unlock();
                cancelled = !progress();
                lock.relock();
            }
        }
    }

    // Not copy-on-write: the pool's threads and the caller reach into it.
    std::vector<SaveSlot> images;
    QMutex mutex;

private:
    QWaitCondition changed;
};

} // namespace

SaveSummary RescueSession::save(const RowSource &source, const SaveOptions &options)
{
    const int total = source.count();
    pool.setMaxThreadCount(options.jobs > 0 ? options.jobs : QThread::idealThreadCount());
    // Images loaded or being converted at a time: enough to keep every
    // thread busy, few enough that memory does not grow with the batch.
    const int inFlight = qMax(2, 2 * pool.maxThreadCount());

    SaveSummary summary;
    summary.requested = total;
    SaveBoard board(total);
    QVector<int> queue; // images handed to conversion, in order
    int reported = 0;   // of queue: conversions whose entries are out
    bool cancelled = false;
    auto savedImage = [](const SaveSlot &slot) {
        const ConversionReport &report = slot.report;
        SavedImage image;
        image.name = slot.loaded.row.name;
        image.source = slot.loaded.row.sources.value(0);
        image.converted = report.converted;
        image.folder = report.folder;
        image.files = report.catalogFiles + report.lostBlocks;
        image.damaged = report.damagedFiles;
        image.suspect = report.suspectFiles;
        image.unverified = report.unverifiedFiles;
        image.leftOut = report.leftOut;
        image.failures = report.failures;
        return image;
    };
    auto isConverted = [&board](int index) {
        QMutexLocker lock(&board.mutex);
        return board.images[size_t(index)].converted;
    };
    // Images whose conversion has ended are told at once, in the order
    // given, even while a batch holds their entries back.
    int finishedTold = 0;
    auto tellFinished = [&]() {
        for (; finishedTold < queue.size() && isConverted(queue.at(finishedTold)); ++finishedTold)
            if (options.finished)
                options.finished(savedImage(board.images[size_t(queue.at(finishedTold))]));
    };
    auto progress = [&]() {
        tellFinished();
        return !options.progress || options.progress(summary.images, total);
    };

    auto reportConverted = [&](bool all) {
        while (reported < queue.size()) {
            if (!isConverted(queue.at(reported)))
                break;
            tellFinished();
            SaveSlot &slot = board.images[size_t(queue.at(reported))];
            reportAll(slot.heldEntries.isEmpty() ? slot.entries : unpackEntries(slot.heldEntries));
            const SavedImage image = savedImage(slot);
            summary.files += image.files;
            summary.damaged += image.damaged;
            summary.suspect += image.suspect;
            summary.unverified += image.unverified;
            summary.leftOut += image.leftOut;
            summary.failures += image.failures;
            summary.saved.append(image);
            ++summary.images;
            if (options.saved)
                options.saved(image);
            slot = SaveSlot();
            ++reported;
            if (!all && options.progress && !options.progress(summary.images, total))
                cancelled = true;
        }
    };
    auto unfinishedConversions = [&]() {
        int unfinished = 0;
        for (int i = reported; i < queue.size(); ++i)
            unfinished += !board.images[size_t(queue.at(i))].converted;
        return unfinished;
    };

    if (!options.loadsFirst)
        beginConversion(total);
    int fetchesStarted = 0;
    // An interrupted batch starts nothing more: what is under way ends.
    for (int i = 0; i < total && !cancelled && !interruptionRequested(); ++i) {
        for (; fetchesStarted < total && fetchesStarted < i + inFlight && !interruptionRequested(); ++fetchesStarted) {
            const int index = fetchesStarted;
            pool.start(QRunnable::create([&board, &source, index]() {
                LoadResult result = source.fetch(index);
                board.finish(index, [&result](SaveSlot &slot) {
                    slot.loaded = std::move(result);
                    slot.fetched = true;
                });
            }));
        }
        if (i >= fetchesStarted)
            break; // interrupted before this image was begun
        board.waitFor([&]() { return board.images[size_t(i)].fetched; }, progress, cancelled);
        LoadResult &loaded = board.images[size_t(i)].loaded;
        reportAll(loaded.entries);
        loaded.entries.clear();
        if (options.fetched)
            options.fetched(i, loaded);
        if (loaded.status == LoadResult::Status::Accepted && !cancelled) {
            // The window reports each image as it ends and starts no more
            // conversions than there are threads, so Cancel stops the images
            // not yet begun; the batch holds its entries and keeps the pool fed.
            const int converting = options.loadsFirst ? inFlight : pool.maxThreadCount();
            board.waitFor([&]() { return unfinishedConversions() < converting; }, progress, cancelled);
            if (!options.loadsFirst)
                reportConverted(false);
            if (cancelled || interruptionRequested()) {
                board.images[size_t(i)] = SaveSlot();
                break;
            }
            SaveSlot &slot = board.images[size_t(i)];
            const ConversionOptions conversion = conversionOptions(slot.loaded.row, options.outputRoot, slot.entries);
            slot.converting = true;
            // The conversion takes the row; the slot keeps its name and source.
            ImageRow row = slot.loaded.row;
            slot.loaded.row.sectors = SectorTable();
            slot.loaded.physical = PhysicalDisk();
            queue.append(i);
            const bool hold = options.loadsFirst;
            QVector<LogEntry> head = std::move(slot.entries);
            slot.entries.clear();
            pool.start(QRunnable::create([&board, row, conversion, i, hold, head]() {
                QVector<LogEntry> entries = head;
                ConversionReport report
                    = convertImage(row, conversion, [&entries](const LogEntry &entry) { entries.append(entry); });
                // What the report holds besides its counts is not needed.
                report.files.clear();
                report.sectorOwners.clear();
                const QByteArray held = hold ? packEntries(entries) : QByteArray();
                if (hold)
                    entries.clear();
                board.finish(i, [&](SaveSlot &slot) {
                    slot.entries = std::move(entries);
                    slot.heldEntries = held;
                    slot.report = std::move(report);
                    slot.converted = true;
                });
            }));
        } else {
            board.images[size_t(i)] = SaveSlot();
        }
        if (!options.loadsFirst)
            reportConverted(false);
        tellFinished();
    }
    // Loads already begun finish before the slots go; their images are not
    // converted.
    pool.waitForDone();
    if (options.loadsFirst)
        beginConversion(queue.size());
    reportConverted(true);
    summary.cancelled = cancelled;
    return summary;
}

bool RescueSession::exportReport(const ImageRow &row, const QString &folder)
{
    ConversionOptions options;
    options.outputRoot = folder;
    options.dryRun = true;
    options.collectDetails = true;
    const ConversionReport details = convertImage(row, options, [](const LogEntry &) {});
    if (!details.converted)
        return false;
    OutputWriter out([this](const LogEntry &entry) { report(entry); });
    const QString base = folder + QLatin1Char('/') + safeImageName(row.name);
    // Both are written, whatever becomes of the first.
    const bool sectorsWritten = out.writeFile(base + QStringLiteral(".sectors.csv"), sectorsCsv(row, details));
    const bool filesWritten = out.writeFile(base + QStringLiteral(".files.csv"), filesCsv(details));
    const bool written = sectorsWritten && filesWritten;
    if (written)
        report(LogEntry::info().text(QStringLiteral("Sector report written to %1.sectors.csv and %1.files.csv").arg(base)));
    return written;
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
