#include "session.h"

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
    LoadOutcome outcome = loadImageFile();
    readerEntries = nullptr;
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
    return loadWith([&] { return loadImage(*dsk, path); });
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
    return job;
}
