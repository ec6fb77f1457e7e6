#include "conversion.h"

#include "catalog.h"
#include "extraction.h"
#include "lostblocks.h"
#include "tap/libtap.h"

int catalogVariant(const QString &tosText)
{
    if (tosText.size() < 3)
        return 0;
    if (tosText.at(2) == QLatin1Char('2'))
        return 2;
    if (tosText.at(2) == QLatin1Char('4'))
        return 4;
    return 0;
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
    const int variant = catalogVariant(job.tosText);
    if (variant == 0)
        return report;
    report.converted = true;

    OutputWriter out(log);
    RescueState state{job.data, job.map, imageFolderPath(job.outputRoot, job.imageName), tap, out, log};
    const bool large = job.tracks > 50;
    out.makeFolder(state.folder);

    tap.clear();
    const QByteArray catalog = catalogBytes(state.data, variant);
    for (TosFile &file : catalogFiles(catalog)) {
        file.blocks = fileBlocks(catalog, file.key, file.length);
        file.sectors = blockSectors(file.blocks, variant, large);
        extractFile(state, file);
        // Written: release it, so one file's data is held at a time, not all.
        file.data = QByteArray();
        ++report.catalogFiles;
    }
    out.writeTap(tap, state.folder + safeImageName(job.imageName) + QStringLiteral(".tap"));

    report.lostBlocks = recoverLostBlocks(state);
    report.writeFailures = out.failures();
    return report;
}
