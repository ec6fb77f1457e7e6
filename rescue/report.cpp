#include "report.h"

#include "imagelist/imagerow.h"

#include <QStringList>

namespace {

QByteArray csvLine(const QStringList &fields)
{
    QStringList quoted;
    for (const QString &field : fields)
        quoted << csvField(field);
    return quoted.join(QLatin1Char(',')).toUtf8() + "\r\n";
}

} // namespace

QString sectorStateName(SectorState state)
{
    switch (state) {
    case SectorState::Good:
        return QStringLiteral("good");
    case SectorState::Suspect:
        return QStringLiteral("suspect");
    case SectorState::Repaired:
        return QStringLiteral("repaired");
    default:
        return QStringLiteral("missing");
    }
}

QString csvField(const QString &text)
{
    // A spreadsheet takes a cell that begins with one of these for a
    // formula; a catalog name is data, so such a cell gets a leading
    // apostrophe and stays text.
    static const QString formulaStarts = QStringLiteral("=+-@\t\r");
    const QString cell = !text.isEmpty() && formulaStarts.contains(text.at(0)) ? QLatin1Char('\'') + text : text;
    if (!cell.contains(QLatin1Char(',')) && !cell.contains(QLatin1Char('"')) && !cell.contains(QLatin1Char('\n'))
        && !cell.contains(QLatin1Char('\r')))
        return cell;
    return QLatin1Char('"') + QString(cell).replace(QLatin1Char('"'), QLatin1String("\"\"")) + QLatin1Char('"');
}

QByteArray sectorsCsv(const ImageRow &row, const ConversionReport &report)
{
    QByteArray csv = csvLine({QStringLiteral("logical"), QStringLiteral("track"), QStringLiteral("side"),
                              QStringLiteral("sector_id"), QStringLiteral("state"), QStringLiteral("agreeing"),
                              QStringLiteral("supplier"), QStringLiteral("owner")});
    const SectorTable &sectors = row.sectors;
    for (int i = 0; i < sectors.count(); ++i) {
        const SectorPlace place = sectorPlace(row, i);
        const int supplier = sectors.supplier(i);
        csv += csvLine({QString::number(i), QString::number(place.track), QString::number(place.side),
                        QString::number(place.sectorId), sectorStateName(sectors.state(i)),
                        QString::number(sectors.agreeing(i)),
                        supplier > 0 ? row.reads.value(supplier - 1) : QString(), report.sectorOwners.value(i)});
    }
    return csv;
}

QByteArray filesCsv(const ConversionReport &report)
{
    // The catalog's length holds a file's header, the output file and the
    // .inf's "len" do not: two columns, the second after the others so that
    // those keep their places. A lost block has no catalog length.
    QByteArray csv = csvLine({QStringLiteral("name"), QStringLiteral("file"), QStringLiteral("type"),
                              QStringLiteral("catalog_length"), QStringLiteral("bad"), QStringLiteral("suspect"),
                              QStringLiteral("zero"), QStringLiteral("complete"), QStringLiteral("verdict"),
                              QStringLiteral("body_length")});
    for (const FileSummary &file : report.files)
        csv += csvLine({file.name, file.file, file.type,
                        file.origin == FileOrigin::Lost ? QString() : QString::number(file.length),
                        QString::number(file.bad), QString::number(file.suspect), QString::number(file.zero),
                        file.complete() ? QStringLiteral("yes") : QStringLiteral("no"), verdictName(file.verdict),
                        QString::number(file.bodyLength)});
    return csv;
}
