#include "gfxview.h"

#include <QFontMetricsF>
#include <QImage>
#include <QPainter>
#include <QStyleOptionGraphicsItem>

namespace {
constexpr int bytesPerRow = 16;  // 128 pixels, 1 bit each
constexpr int blockBytes = 128;  // one cell row of 16 cells
constexpr int cellRowHeight = 8 * GfxPictureItem::scale;
constexpr qreal labelX = -100;
constexpr qreal textMargin = 4; // where a text item would start its text
} // namespace

QByteArray gfxCells(const QByteArray &data, int shift)
{
    const int length = data.size();
    const int blocks = (length + blockBytes - 1) / blockBytes;
    QByteArray cells(blocks * blockBytes, '\0');
    char *out = cells.data();
    const char *in = data.constData();
    // Bytes past the data read as the 256 appended zero bytes.
    auto at = [in, length](int pos) -> char { return pos < length ? in[pos] : '\0'; };
    for (int k = 0; k < blocks; ++k) {
        const int base = shift + blockBytes * k;
        for (int r = 0; r < 8; ++r)
            for (int n = 0; n < 16; ++n)
                *out++ = at(base + 8 * n + r);
    }
    return cells;
}

GfxPictureItem::GfxPictureItem(const QByteArray &cells, QGraphicsItem *parent)
    : QGraphicsItem(parent)
    , cells(cells)
{
    setFlag(ItemUsesExtendedStyleOption);
}

QRectF GfxPictureItem::boundingRect() const
{
    return QRectF(0, 0, pictureWidth * scale, pixelRows() * scale);
}

bool GfxPictureItem::inkAt(int x, int y) const
{
    if (x < 0 || x >= pictureWidth || y < 0 || y >= pixelRows())
        return false;
    const quint8 byte = static_cast<quint8>(cells.at(y * bytesPerRow + x / 8));
    return byte & (0x80 >> (x % 8));
}

void GfxPictureItem::paint(QPainter *painter, const QStyleOptionGraphicsItem *option, QWidget *)
{
    const QRectF exposed = option->exposedRect.intersected(boundingRect());
    if (exposed.isEmpty())
        return;
    const int first = qMax(0, int(exposed.top()) / scale);
    const int last = qMin(pixelRows(), int(exposed.bottom()) / scale + 1);
    if (last <= first)
        return;
    // A view of the exposed rows only: no copy of the bits.
    QImage rows(reinterpret_cast<const uchar *>(cells.constData()) + first * bytesPerRow,
                pictureWidth, last - first, bytesPerRow, QImage::Format_Mono);
    rows.setColorTable({qRgba(255, 255, 255, 255), qRgba(0, 0, 0, 255)});
    painter->setRenderHint(QPainter::SmoothPixmapTransform, false);
    painter->drawImage(QRectF(0, first * scale, pictureWidth * scale, (last - first) * scale), rows);
}

GfxLabelsItem::GfxLabelsItem(int rows, const QFont &font, QGraphicsItem *parent)
    : QGraphicsItem(parent)
    , rows(rows)
    , font(font)
{
    setFlag(ItemUsesExtendedStyleOption);
    const QFontMetricsF metrics(font);
    textWidth = metrics.horizontalAdvance(labelText(qMax(0, rows - 1))) + 2 * textMargin;
}

QString GfxLabelsItem::labelText(int row)
{
    return QStringLiteral("0x%1").arg(row * blockBytes, 4, 16, QLatin1Char('0'));
}

QPointF GfxLabelsItem::labelPosition(int row)
{
    return QPointF(labelX, row * cellRowHeight);
}

QRectF GfxLabelsItem::boundingRect() const
{
    if (rows == 0)
        return QRectF();
    const qreal lineHeight = QFontMetricsF(font).height() + 2 * textMargin;
    return QRectF(labelX, 0, textWidth, (rows - 1) * cellRowHeight + lineHeight);
}

void GfxLabelsItem::paint(QPainter *painter, const QStyleOptionGraphicsItem *option, QWidget *)
{
    const QRectF exposed = option->exposedRect;
    const int first = qMax(0, int(exposed.top()) / cellRowHeight - 1);
    const int last = qMin(rows, int(exposed.bottom()) / cellRowHeight + 1);
    painter->setFont(font);
    painter->setPen(Qt::black);
    const QFontMetricsF metrics(font);
    for (int j = first; j < last; ++j) {
        const QPointF at = labelPosition(j) + QPointF(textMargin, textMargin + metrics.ascent());
        painter->drawText(at, labelText(j));
    }
}
