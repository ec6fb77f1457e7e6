#include "rescuepath.h"

#include "app/logrender.h"
#include "disk/libdsk.h"
#include "rescue/catalog.h"
#include "rescue/filetypes.h"
#include "rescue/report.h"
#include "rescue/session.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QHash>

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
        if (state < 0 || state > 3 || (state == 0) != (row.sectors.supplier(i) == 0))
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
    // A sector repaired from flux is written as a good one: it reads back good.
    SectorTable written = disk.sectors;
    for (int i = 0; i < written.count(); ++i)
        if (written.state(i) == SectorState::Repaired)
            written.setState(i, SectorState::Good);
    if (!(back.sectors == written))
        return QStringLiteral("best image reads back otherwise");
    return QString();
}

// Every output must be a plain file directly inside the image folder, or
// inside its lost/ folder (lost files named after a deleted entry).
QString outputProblem(const QString &scratchRoot, int &files)
{
    const QString folder = QDir(scratchRoot).absoluteFilePath(QLatin1String(imageName));
    const QString lost = folder + QStringLiteral("/lost");
    QDirIterator it(scratchRoot, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    files = 0;
    while (it.hasNext()) {
        const QFileInfo entry(it.next());
        if ((entry.absoluteFilePath() == folder || entry.absoluteFilePath() == lost) && entry.isDir()
            && !entry.isSymLink())
            continue;
        if ((entry.absolutePath() != folder && entry.absolutePath() != lost) || !entry.isFile() || entry.isSymLink())
            return QStringLiteral("output outside the image folder: ") + entry.absoluteFilePath();
        ++files;
    }
    return QString();
}
QByteArray fileBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// RFC 4180 rows: quoted fields with doubled quotes and line breaks, CRLF
// line ends. False when the text is not well formed.
bool parseCsv(const QString &text, QVector<QStringList> &rows)
{
    QStringList fields;
    QString field;
    bool quoted = false;
    bool wasQuoted = false;
    for (int i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (quoted) {
            if (c != QLatin1Char('"'))
                field += c;
            else if (i + 1 < text.size() && text.at(i + 1) == QLatin1Char('"'))
                field += c, ++i;
            else
                quoted = false;
        } else if (c == QLatin1Char('"')) {
            if (!field.isEmpty() || wasQuoted)
                return false;
            quoted = wasQuoted = true;
        } else if (c == QLatin1Char(',')) {
            fields << field;
            field.clear();
            wasQuoted = false;
        } else if (c == QLatin1Char('\r')) {
            if (i + 1 >= text.size() || text.at(i + 1) != QLatin1Char('\n'))
                return false;
            fields << field;
            rows << fields;
            fields.clear();
            field.clear();
            wasQuoted = false;
            ++i;
        } else {
            if (wasQuoted)
                return false;
            field += c;
        }
    }
    return !quoted && fields.isEmpty() && field.isEmpty();
}

// The text a spreadsheet shows for a value the report wrote.
QString cellOf(const QString &value)
{
    QVector<QStringList> rows;
    if (!parseCsv(csvField(value) + QStringLiteral("\r\n"), rows) || rows.size() != 1 || rows.first().size() != 1)
        return QStringLiteral("\n(unreadable field)");
    return rows.first().first();
}

// A catalog file as the conversion assembles it: its sectors, the catalog
// sectors of its entries, and the body its sectors give.
struct Assembled
{
    QVector<quint32> sectors;
    QVector<int> entrySectors;
    QByteArray body;
    int length = 0;
};

QVector<Assembled> assembleCatalogFiles(const ImageRow &row, const CatalogLayout &layout)
{
    const SectorTable &table = row.sectors;
    const QByteArray catalog = catalogBytes(table.bytes(), layout);
    QVector<Assembled> out;
    for (const TosFile &file : catalogFiles(catalog)) {
        Assembled one;
        QVector<int> entries;
        int length = 0;
        const QByteArray blocks = fileBlocks(catalog, file.key, length, &entries);
        if (entries.isEmpty())
            entries = file.entries;
        for (int entry : entries)
            one.entrySectors << layout.catalogFirstSector() + entry * catalogEntrySize / sectorSize;
        one.sectors = blockSectors(blocks, layout);
        QByteArray data;
        data.reserve(one.sectors.size() * sectorSize);
        for (quint32 s : one.sectors)
            data += table.isRead(s) ? table.sectorBytes(int(s)) : QByteArray(sectorSize, '\0');
        const int typeByte = data.isEmpty() ? 0 : quint8(data.at(0));
        const int word1 = data.size() > 2 ? quint8(data.at(1)) | (quint8(data.at(2)) << 8) : 0;
        const int headerSize = length == word1 + 5 ? 5 : fileTypeOf(typeByte).headerSize;
        if (length > data.size())
            length = data.size();
        const qint64 bodyLength = qint64(length) - headerSize;
        one.body = bodyLength < 0 ? data.mid(headerSize) : data.mid(headerSize, int(bodyLength));
        one.length = length;
        out << one;
    }
    return out;
}

// The report against the conversion and the row: files.csv and
// sectors.csv say what the report holds, "complete" agrees with the
// verdict, and a file called complete holds only good sectors (its
// entries' catalog sectors too) and is written as exactly what they hold.
// Catalog files are assembled again from the row; a lost block must be the
// row's bytes from its first sector on, after a header of 0, 5 or 7 bytes.
QString verdictProblem(const ImageRow &row, const ConversionReport &report)
{
    CatalogLayout layout;
    if (!report.converted || !catalogLayout(row.format, row.tracks, layout))
        return QString();
    const QString stem = report.folder + QDir(report.folder).dirName();
    QVector<QStringList> files;
    QVector<QStringList> sectors;
    if (!parseCsv(QString::fromUtf8(fileBytes(stem + QStringLiteral(".files.csv"))), files))
        return QStringLiteral("files.csv is not well-formed CSV");
    if (!parseCsv(QString::fromUtf8(fileBytes(stem + QStringLiteral(".sectors.csv"))), sectors))
        return QStringLiteral("sectors.csv is not well-formed CSV");
    if (files.size() != report.files.size() + 1)
        return QStringLiteral("files.csv has %1 rows for %2 files").arg(files.size() - 1).arg(report.files.size());
    if (sectors.size() != row.sectorCount() + 1)
        return QStringLiteral("sectors.csv has %1 rows for %2 sectors").arg(sectors.size() - 1).arg(row.sectorCount());

    // sectors.csv: logical, track, side, sector_id, state, agreeing, supplier, owner.
    QHash<QString, QVector<int>> owned;
    for (int i = 0; i < row.sectorCount(); ++i) {
        const QStringList &fields = sectors.at(i + 1);
        if (fields.size() != 8 || fields.at(0) != QString::number(i))
            return QStringLiteral("sectors.csv row %1 is malformed").arg(i + 1);
        if (fields.at(4) != sectorStateName(row.sectors.state(i)))
            return QStringLiteral("sectors.csv calls sector %1 %2, the row %3").arg(i).arg(fields.at(4), sectorStateName(row.sectors.state(i)));
        if (fields.at(7) != cellOf(report.sectorOwners.value(i)))
            return QStringLiteral("sectors.csv gives sector %1 another owner than the conversion").arg(i);
        owned[fields.at(7)] << i;
    }

    // files.csv: name, file, type, catalog_length, bad, suspect, zero, complete, verdict, body_length.
    static const QStringList verdicts{QStringLiteral("complete"), QStringLiteral("damaged"), QStringLiteral("suspect"),
                                      QStringLiteral("unverified")};
    QHash<QString, int> names;
    for (int i = 1; i < files.size(); ++i)
        ++names[files.at(i).value(0)];
    const QVector<Assembled> assembled = assembleCatalogFiles(row, layout);
    if (assembled.size() > report.files.size())
        return QStringLiteral("%1 catalog files but %2 rows").arg(assembled.size()).arg(report.files.size());
    for (int i = 0; i < report.files.size(); ++i) {
        const FileSummary &summary = report.files.at(i);
        const QStringList &fields = files.at(i + 1);
        const QString which = QStringLiteral("files.csv row %1 (%2)").arg(i + 1).arg(fields.value(0));
        if (fields.size() != 10)
            return which + QStringLiteral(" is malformed");
        if (fields.at(0) != cellOf(summary.name) || fields.at(1) != cellOf(summary.file)
            || fields.at(8) != verdictName(summary.verdict))
            return which + QStringLiteral(" differs from the conversion's summary");
        if (!verdicts.contains(fields.at(8)))
            return which + QStringLiteral(": unknown verdict ") + fields.at(8);
        const bool complete = fields.at(8) == QLatin1String("complete");
        if (fields.at(7) != (complete ? QLatin1String("yes") : QLatin1String("no")))
            return which + QStringLiteral(": complete=%1 with verdict %2").arg(fields.at(7), fields.at(8));
        if (complete && (fields.at(4) != QLatin1String("0") || fields.at(5) != QLatin1String("0")))
            return which + QStringLiteral(": complete with bad or suspect sectors counted");
        const QByteArray written = fileBytes(report.folder + summary.file);
        if (fields.at(9) != QString::number(written.size()))
            return which + QStringLiteral(": body_length %1, %2 bytes written").arg(fields.at(9)).arg(written.size());

        // Catalog files first, in catalog order: every one is written as
        // its sectors give it, missing ones as zeros.
        if (i < assembled.size()) {
            const Assembled &file = assembled.at(i);
            if (written != file.body)
                return which + QStringLiteral(": %1 bytes written, its sectors give %2").arg(written.size()).arg(file.body.size());
            if (fields.at(3) != cellOf(QString::number(file.length)))
                return which + QStringLiteral(": length %1, its entries give %2").arg(fields.at(3)).arg(file.length);
            if (!complete)
                continue;
            for (quint32 s : file.sectors)
                if (!isClean(row.sectors.state(s)))
                    return which + QStringLiteral(": complete, but its sector %1 is %2").arg(s).arg(sectorStateName(row.sectors.state(s)));
            for (int s : file.entrySectors)
                if (!isClean(row.sectors.state(s)))
                    return which + QStringLiteral(": complete, but its catalog entry lies in sector %1, %2").arg(s).arg(sectorStateName(row.sectors.state(s)));
        } else if (complete) {
            const QVector<int> mine = owned.value(fields.at(0));
            if (mine.isEmpty())
                return which + QStringLiteral(": a lost block owning no sector");
            const qint64 start = qint64(mine.first()) * sectorSize;
            bool right = false;
            for (int header : {0, 5, 7}) {
                if (right || row.sectors.bytes().mid(int(start) + header, written.size()) != written)
                    continue;
                right = true;
                const qint64 end = start + header + written.size();
                for (qint64 s = mine.first(); s * sectorSize < end; ++s)
                    right = right && isClean(row.sectors.state(s));
            }
            if (!right)
                return which + QStringLiteral(": complete, but not the good bytes from sector %1 on").arg(mine.first());
        }
        // Whatever the file, a complete one owns no sector that is not good
        // (unless another row, or the catalog, shares its name).
        if (complete && names.value(fields.at(0)) == 1 && fields.at(0) != QLatin1String("catalog"))
            for (int s : owned.value(fields.at(0)))
                if (!isClean(row.sectors.state(s)))
                    return which + QStringLiteral(": complete, but owns sector %1, %2").arg(s).arg(sectorStateName(row.sectors.state(s)));
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
    if (problem.isEmpty())
        problem = verdictProblem(loaded.row, report);
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
    RescueOptions options;
    options.writeReport = true;
    session.setOptions(options);
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
    if (result.problem.isEmpty())
        result.problem = verdictProblem(loaded.row, report);
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
