#include "conversion.h"

#include "catalog.h"
#include "disk/geometry.h"
#include "extraction.h"
#include "lostblocks.h"
#include "report.h"
#include "tap/libtap.h"

int catalogVariant(DiskFormat format)
{
    switch (format) {
    case DiskFormat::TosA2:
        return 2;
    case DiskFormat::TosA4:
        return 4;
    default:
        return 0;
    }
}

QString safeImageName(const QString &imageName)
{
    // An image called "", "." or ".." would otherwise name the output root
    // or its parent instead of a folder of its own.
    if (imageName.isEmpty() || imageName == QLatin1String(".") || imageName == QLatin1String(".."))
        return QString(qMax(1, imageName.size()), QLatin1Char('_'));
    return safeFileName(imageName);
}

QString imageFolderPath(const QString &outputRoot, const QString &imageName)
{
    return outputRoot + QLatin1Char('/') + safeImageName(imageName) + QLatin1Char('/');
}

ConversionReport convertImage(const ConversionJob &job, libtap &tap, const LogSink &log)
{
    ConversionReport report;
    const int variant = catalogVariant(job.format);
    if (variant == 0)
        return report;
    report.converted = true;

    OutputWriter out(log);
    out.setDryRun(job.dryRun);
    const QString folderName = job.folderName.isEmpty() ? safeImageName(job.imageName) : job.folderName;
    RescueState state{job.data, job.map, job.outputRoot + QLatin1Char('/') + folderName + QLatin1Char('/'), tap, out, log};
    // Every sector of the map has its 256 bytes, whatever the caller gave.
    const qint64 wanted = qint64(state.map.size()) * geometry::sectorSize;
    if (state.data.size() < wanted)
        state.data.append(QByteArray(int(wanted - state.data.size()), '\0'));
    const bool large = geometry::isLargeDisk(job.tracks);
    report.folder = state.folder;
    state.salvage = job.salvage;
    state.states = job.states;
    if (job.collectDetails || job.writeReport) {
        for (int i = 0; i < state.map.size(); ++i)
            report.sectorOwners << QString();
        const int catalogStart = catalogFirstSector(variant);
        for (int i = catalogStart; i < catalogStart + geometry::catalogSectors && i < state.map.size(); ++i)
            report.sectorOwners[i] = QStringLiteral("catalog");
        state.files = &report.files;
        state.owners = &report.sectorOwners;
    }
    out.makeFolder(state.folder);
    // The image's archive keeps its name: it is claimed before any file.
    const QString archive = out.claim(state.folder, folderName, QStringLiteral(".tap"), {});

    tap.clear();
    const QByteArray catalog = catalogBytes(state.data, variant);
    for (TosFile &file : catalogFiles(catalog)) {
        file.blocks = fileBlocks(catalog, file.key, file.length);
        file.sectors = blockSectors(file.blocks, variant, large);
        extractFile(state, file);
        if (file.badCount > 0)
            ++report.damagedFiles;
        // Written: release it, so one file's data is held at a time, not all.
        file.data = QByteArray();
        ++report.catalogFiles;
    }
    out.writeTap(tap, state.folder + archive);

    report.lostBlocks = recoverLostBlocks(state);
    if (job.writeReport) {
        out.writeFile(state.folder + out.claim(state.folder, folderName, QStringLiteral(".sectors.csv"), {}),
                      sectorsCsv(job, report));
        out.writeFile(state.folder + out.claim(state.folder, folderName, QStringLiteral(".files.csv"), {}),
                      filesCsv(report));
    }
    report.failures = out.failures();
    report.writeFailures = report.failures.size();
    return report;
}
