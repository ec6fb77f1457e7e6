#include "conversion.h"

#include "catalog.h"
#include "catalogrepair.h"
#include "disk/geometry.h"
#include "extraction.h"
#include "lostblocks.h"
#include "report.h"
#include "tap/libtap.h"

QString safeImageName(const QString &imageName)
{
    // An image called "", "." or ".." would otherwise name the output root
    // or its parent instead of a folder of its own.
    if (imageName.isEmpty() || imageName == QLatin1String(".") || imageName == QLatin1String(".."))
        return QString(qMax(1, imageName.size()), QLatin1Char('_'));
    // A folder name valid on every file system: "disk." would lose its dot
    // on a FAT stick and become another image's "disk".
    return portableFileName(safeFileName(imageName));
}

QString verdictName(Verdict verdict)
{
    switch (verdict) {
    case Verdict::Complete:
        return QStringLiteral("complete");
    case Verdict::Damaged:
        return QStringLiteral("damaged");
    case Verdict::Suspect:
        return QStringLiteral("suspect");
    case Verdict::Unverified:
        return QStringLiteral("unverified");
    }
    return QString();
}

QString imageFolderPath(const QString &outputRoot, const QString &imageName)
{
    return outputRoot + QLatin1Char('/') + safeImageName(imageName) + QLatin1Char('/');
}

namespace {

void collectOwners(const RescueState &state, ConversionReport &report)
{
    const SectorTable &sectors = state.sectors;
    report.sectorOwners.reserve(sectors.count());
    for (int i = 0; i < sectors.count(); ++i) {
        const SectorOwner owner = sectors.owner(i);
        switch (owner.kind) {
        case SectorOwner::Kind::Catalog:
            report.sectorOwners << QStringLiteral("catalog");
            break;
        case SectorOwner::Kind::File:
            report.sectorOwners << state.ownerNames.value(owner.index);
            break;
        case SectorOwner::Kind::None:
            report.sectorOwners << QString();
            break;
        }
    }
}

} // namespace

ConversionReport convertImage(const ImageRow &row, const ConversionOptions &options, const LogSink &log)
{
    ConversionReport report;
    CatalogLayout layout;
    QString guess;
    const DiskFormat format = rescueFormat(row, options.layout, guess);
    if (!guess.isEmpty() && format == DiskFormat::Unknown)
        log(LogEntry::warning().text(QStringLiteral("TOS layout unknown and not guessed: %1").arg(guess)));
    if (!catalogLayout(format, row.tracks, layout))
        return report;
    report.converted = true;
    if (!guess.isEmpty())
        log(LogEntry::warning().text(QStringLiteral("TOS layout unknown; rescued as %1, %2")
                                         .arg(formatText(format), guess)));

    OutputWriter out(log);
    out.setDryRun(options.dryRun);
    out.setDurability(options.sync ? OutputWriter::Durability::Batch : OutputWriter::Durability::None);
    const QString folderName = options.folderName.isEmpty() ? safeImageName(row.name) : options.folderName;
    RescueState state(row.sectors, options.outputRoot + QLatin1Char('/') + folderName + QLatin1Char('/'), out, log);
    report.folder = state.folder;
    state.salvage = row.salvage;
    state.leaveOut = options.leaveOut;
    state.dryRun = options.dryRun;
    const bool details = options.collectDetails || options.writeReport;
    if (details)
        state.files = &report.files;
    const int catalogStart = layout.catalogFirstSector();
    for (int i = catalogStart; i < catalogStart + geometry::catalogSectors; ++i)
        state.sectors.claim(i, SectorOwner{SectorOwner::Kind::Catalog, -1});
    out.makeFolder(state.folder);
    // The image's archive keeps its name: it is claimed before any file.
    const QString archive = out.claim(state.folder, folderName, QStringLiteral(".tap"), {});

    libtap tap;
    const QByteArray catalog = catalogBytes(state.sectors.bytes(), layout);
    QVector<TosFile> files = catalogFiles(catalog);
    for (TosFile &file : files) {
        QVector<int> extents;
        file.blocks = fileBlocks(catalog, file.key, file.length, &extents);
        if (!extents.isEmpty())
            file.entries = extents;
        file.sectors = blockSectors(file.blocks, layout);
    }
    checkEntries(files, catalog, layout, row.sectors);
    for (TosFile &file : files) {
        const Verdict verdict = extractFile(state, file, tap);
        report.damagedFiles += verdict == Verdict::Damaged;
        report.suspectFiles += verdict == Verdict::Suspect;
        report.unverifiedFiles += verdict == Verdict::Unverified;
        // Written: release it, so one file's data is held at a time, not all.
        file.data = QByteArray();
        ++report.catalogFiles;
    }
    state.endFiles();
    out.writeTap(tap, state.folder + archive);

    // Salvage puts lost files back together at block boundaries and knows
    // deleted entries; the default mode keeps the sector scan.
    if (row.salvage)
        report.lostBlocks = recoverLostFiles(state, layout, deletedFiles(catalog), options.undelete,
                                             report.deletedFiles);
    else
        report.lostBlocks = recoverLostBlocks(state);
    report.leftOut = state.leftOut;
    if (details)
        collectOwners(state, report);
    if (options.writeReport) {
        out.writeFile(state.folder + out.claim(state.folder, folderName, QStringLiteral(".sectors.csv"), {}),
                      sectorsCsv(row, report));
        out.writeFile(state.folder + out.claim(state.folder, folderName, QStringLiteral(".files.csv"), {}),
                      filesCsv(report));
    }
    // Every file is named now, once all of them are on the disk.
    out.commit();
    report.failures = out.failures();
    report.writeFailures = report.failures.size();
    return report;
}
