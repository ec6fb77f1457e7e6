#include "rescuepath.h"

#include "app/logrender.h"
#include "disk/libdsk.h"
#include "rescue/session.h"

#include <QDir>
#include <QDirIterator>
#include <QFileInfo>

namespace {
const char imageName[] = "image";
constexpr int sectorSize = 256;

QString rowProblem(const ImageRow &row)
{
    if (row.tracks < 0 || row.tracks > 255 || row.sides < 0 || row.sides > 2)
        return QStringLiteral("geometry out of range: %1 tracks, %2 sides").arg(row.tracks).arg(row.sides);
    const int expected = row.tracks * sidesWalked(row.tracks, row.sides) * 16;
    if (row.sectorCount() != expected)
        return QStringLiteral("row holds %1 sectors, geometry calls for %2").arg(row.sectorCount()).arg(expected);
    if (row.sectors.bytes().size() != row.sectorCount() * sectorSize)
        return QStringLiteral("bytes and sectors disagree: %1 bytes, %2 sectors").arg(row.sectors.bytes().size()).arg(row.sectorCount());
    for (int i = 0; i < row.sectorCount(); ++i) {
        const int state = int(row.state(i));
        if (state < 0 || state > 2 || (state == 0) != (row.sectors.supplier(i) == 0))
            return QStringLiteral("sector %1: state %2 with supplier %3").arg(i).arg(state).arg(row.sectors.supplier(i));
    }
    return QString();
}

// The best image of a salvaged disk reads back to the same sectors.
QString bestImageProblem(const PhysicalDisk &disk)
{
    if (disk.tracks * disk.sides > 204)
        return QString();
    libdsk again;
    again.setSalvage(true);
    if (again.openData(extendedDskImage(disk, "fuzz"), QStringLiteral("again")) < 0)
        return QStringLiteral("best image refused");
    const PhysicalDisk back = readPhysical(again);
    if (!(back.sectors == disk.sectors))
        return QStringLiteral("best image reads back otherwise");
    return QString();
}

// Every output must be a plain file directly inside the image folder.
QString outputProblem(const QString &scratchRoot, int &files)
{
    const QString folder = QDir(scratchRoot).absoluteFilePath(QLatin1String(imageName));
    QDirIterator it(scratchRoot, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    files = 0;
    while (it.hasNext()) {
        const QFileInfo entry(it.next());
        if (entry.absoluteFilePath() == folder && entry.isDir() && !entry.isSymLink())
            continue;
        if (entry.absolutePath() != folder || !entry.isFile() || entry.isSymLink())
            return QStringLiteral("output outside the image folder: ") + entry.absoluteFilePath();
        ++files;
    }
    return QString();
}
// The same image in salvage mode with a report, and its best image.
QString salvageProblem(const QByteArray &bytes, const QString &scratchRoot, const LogSink &consume)
{
    clearScratch(scratchRoot);
    RescueSession session(consume);
    RescueOptions options;
    options.salvage = true;
    options.writeReport = true;
    session.setOptions(options);
    LoadResult loaded = session.loadData(bytes, QLatin1String(imageName));
    if (loaded.status != LoadResult::Status::Accepted)
        return QString();
    QString problem = rowProblem(loaded.row);
    if (problem.isEmpty())
        problem = bestImageProblem(loaded.physical);
    if (!problem.isEmpty())
        return QStringLiteral("salvage: ") + problem;
    const ConversionReport report = session.convert(loaded.row, scratchRoot);
    if (report.writeFailures != 0)
        return QStringLiteral("salvage: %1 outputs not written").arg(report.writeFailures);
    int files = 0;
    problem = outputProblem(scratchRoot, files);
    return problem.isEmpty() ? QString() : QStringLiteral("salvage: ") + problem;
}

} // namespace

RescuePathResult runRescuePath(const QByteArray &bytes, const QString &scratchRoot)
{
    RescuePathResult result;
    qint64 rendered = 0;
    auto consume = [&](const LogEntry &entry) {
        rendered += logEntryPlain(entry).size() + logEntryHtmlLine(entry).size();
        ++result.logLines;
    };

    RescueSession session(consume);
    LoadResult loaded = session.loadData(bytes, QLatin1String(imageName));
    result.accepted = loaded.status == LoadResult::Status::Accepted;
    if (!result.accepted)
        return result;
    result.problem = rowProblem(loaded.row);
    if (!result.problem.isEmpty())
        return result;

    const DiskFormat format = loaded.row.format;
    const ConversionReport report = session.convert(loaded.row, scratchRoot);
    result.converted = report.converted;

    const bool layoutKnown = format == DiskFormat::TosA2 || format == DiskFormat::TosA4;
    if (report.converted != layoutKnown)
        result.problem = QStringLiteral("converted %1 with layout %2").arg(report.converted).arg(formatText(format));
    else if (report.writeFailures != 0)
        result.problem = QStringLiteral("%1 outputs not written").arg(report.writeFailures);
    else
        result.problem = outputProblem(scratchRoot, result.outputFiles);
    if (result.problem.isEmpty() && report.converted && result.outputFiles == 0)
        result.problem = QStringLiteral("converted without writing the image archive");
    if (rendered < 0)
        result.problem = QStringLiteral("log rendering overflow");
    if (result.problem.isEmpty())
        result.problem = salvageProblem(bytes, scratchRoot, consume);
    return result;
}

void clearScratch(const QString &scratchRoot)
{
    QDir root(scratchRoot);
    const QStringList entries = root.entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    for (const QString &entry : entries) {
        QFileInfo info(root.absoluteFilePath(entry));
        if (info.isDir() && !info.isSymLink())
            QDir(info.absoluteFilePath()).removeRecursively();
        else
            root.remove(entry);
    }
}
