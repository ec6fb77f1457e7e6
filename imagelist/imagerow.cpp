#include "imagerow.h"

#include "disk/formatdetect.h"
#include "disk/libdsk.h"

#include <QFileInfo>
#include <QPainter>

namespace {
constexpr int sectorSize = 256;
constexpr int sectorsPerSide = 16;

// An A.2 disk keeps its 64-sector system area in plain order. One rule for
// every track count, exactly 50 included: the first 64 logical sectors are
// plain (tracks 0..3 of side 0 below 50 tracks, tracks 0 and 1 of both sides
// from 50 on).
int physicalId(int format, int logicalSector, int position)
{
    if (format == FormatTosA2 && logicalSector < 64)
        return position;
    return sectorSkew[position];
}

QImage emptyMapPicture(int tracks)
{
    QImage picture(86, 36, QImage::Format_ARGB32_Premultiplied);
    picture.fill(Qt::transparent);
    QPainter painter(&picture);
    painter.setPen(Qt::black);
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(0, 2, 84, 30);
    const int width = tracks <= 49 ? 2 * tracks : tracks;
    painter.fillRect(QRect(0, 2, width, 32), Qt::green);
    return picture;
}

void markMissing(QImage &picture, int walkedSides, int track, int side, int position)
{
    const QRgb red = qRgb(255, 0, 0);
    const QRect mark = walkedSides == 1 ? QRect(2 * track, 2 * position + 2, 2, 2)
                                        : QRect(track, 2 + 16 * side + position, 1, 1);
    const QRect visible = mark.intersected(picture.rect());
    for (int y = visible.top(); y <= visible.bottom(); ++y)
        for (int x = visible.left(); x <= visible.right(); ++x)
            picture.setPixel(x, y, red);
}

LoadOutcome classify(libdsk &dsk, int openResult, const QString &name)
{
    LoadOutcome outcome;
    if (openResult < 0)
        return outcome;
    const int format = detectFormat(dsk);
    if (format == FormatCpm) {
        outcome.refusal = QStringLiteral("CPM disks are not supported");
        return outcome;
    }
    outcome.accepted = true;
    outcome.row = buildImageRow(dsk, name, openResult, format);
    return outcome;
}

} // namespace

int sidesWalked(int tracks, int sides)
{
    if (tracks >= 50)
        return sides;
    return sides > 0 ? 1 : 0;
}

ImageRow buildImageRow(const libdsk &dsk, const QString &name, int badSectors, int format)
{
    ImageRow row;
    row.name = name;
    row.tracks = dsk.tracks;
    row.sides = dsk.sides;
    row.badSectors = badSectors;
    row.format = format;
    row.picture = emptyMapPicture(dsk.tracks);

    const int walked = sidesWalked(dsk.tracks, dsk.sides);
    const int total = dsk.tracks * walked * sectorsPerSide;
    row.data.reserve(total * sectorSize);
    row.map.reserve(total);
    for (int t = 0; t < dsk.tracks; ++t) {
        for (int s = 0; s < walked; ++s) {
            for (int i = 0; i < sectorsPerSide; ++i) {
                const int logical = (t * walked + s) * sectorsPerSide + i;
                const QByteArray bytes = dsk.sector(t, s, physicalId(format, logical, i));
                if (bytes.size() == sectorSize) {
                    row.data.append(bytes);
                    row.map.append(char(1));
                } else {
                    row.data.append(QByteArray(sectorSize, '\0'));
                    row.map.append(char(0));
                    markMissing(row.picture, walked, t, s, i);
                }
            }
        }
    }
    return row;
}

QString formatText(int format)
{
    switch (format) {
    case FormatTosA2:
        return QStringLiteral("A.2");
    case FormatTosA4:
        return QStringLiteral("A.4");
    default:
        return QStringLiteral("unknown");
    }
}

LoadOutcome loadImage(libdsk &dsk, const QString &path)
{
    const int result = dsk.open(path);
    return classify(dsk, result, QFileInfo(path).completeBaseName());
}

LoadOutcome loadImageData(libdsk &dsk, const QByteArray &bytes, const QString &name)
{
    const int result = dsk.openData(bytes, name);
    return classify(dsk, result, name);
}
