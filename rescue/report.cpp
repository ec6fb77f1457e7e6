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

QString stateName(char state)
{
    switch (SectorState(state)) {
    case SectorState::Good:
        return QStringLiteral("good");
    case SectorState::Suspect:
        return QStringLiteral("suspect");
    default:
        return QStringLiteral("missing");
    }
}

int byteAt(const QByteArray &bytes, int i)
{
    return i < bytes.size() ? static_cast<quint8>(bytes.at(i)) : 0;
}

} // namespace

QString csvField(const QString &text)
{
    if (!text.contains(QLatin1Char(',')) && !text.contains(QLatin1Char('"')) && !text.contains(QLatin1Char('\n'))
        && !text.contains(QLatin1Char('\r')))
        return text;
    return QLatin1Char('"') + QString(text).replace(QLatin1Char('"'), QLatin1String("\"\"")) + QLatin1Char('"');
}

QByteArray sectorsCsv(const ConversionJob &job, const ConversionReport &report)
{
    ImageRow geometry;
    geometry.tracks = job.tracks;
    geometry.sides = job.sides;
    geometry.format = job.format;
    QByteArray csv = csvLine({QStringLiteral("logical"), QStringLiteral("track"), QStringLiteral("side"),
                              QStringLiteral("sector_id"), QStringLiteral("state"), QStringLiteral("agreeing"),
                              QStringLiteral("supplier"), QStringLiteral("owner")});
    for (int i = 0; i < job.map.size(); ++i) {
        const SectorPlace place = sectorPlace(geometry, i);
        const char state = i < job.states.size() ? job.states.at(i) : char(job.map.at(i) != 0);
        const int supplier = byteAt(job.supplier, i);
        csv += csvLine({QString::number(i), QString::number(place.track), QString::number(place.side),
                        QString::number(place.sectorId), stateName(state), QString::number(byteAt(job.agreement, i)),
                        supplier > 0 ? job.readNames.value(supplier - 1) : QString(), report.sectorOwners.value(i)});
    }
    return csv;
}

QByteArray filesCsv(const ConversionReport &report)
{
    QByteArray csv = csvLine({QStringLiteral("name"), QStringLiteral("file"), QStringLiteral("type"),
                              QStringLiteral("length"), QStringLiteral("bad"), QStringLiteral("suspect"),
                              QStringLiteral("zero"), QStringLiteral("complete")});
    for (const FileSummary &file : report.files)
        csv += csvLine({file.name, file.file, file.type, QString::number(file.length), QString::number(file.bad),
                        QString::number(file.suspect), QString::number(file.zero),
                        file.complete() ? QStringLiteral("yes") : QStringLiteral("no")});
    return csv;
}
