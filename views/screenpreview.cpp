#include "screenpreview.h"

#include "palette.h"

#include <QPainter>
#include <QtMath>

namespace screen {

QRgb colour(int index, bool bright)
{
    const int level = bright ? 0xFF : 0xD7;
    // Bits of the index: blue, red, green.
    return qRgb(index & 2 ? level : 0, index & 4 ? level : 0, index & 1 ? level : 0);
}

int bitmapRow(int offset)
{
    // Address bits: third (12-11), row in the cell (10-8), cell row (7-5).
    return ((offset >> 5) & 0xC0) | ((offset >> 8) & 0x07) | ((offset >> 2) & 0x38);
}

QBitArray rowsOf(int offset, int length)
{
    QBitArray rows(height);
    const int end = qMin(bytes, offset + qMax(0, length));
    for (int i = qMax(0, offset); i < end; ++i) {
        if (i < bitmapBytes) {
            rows.setBit(bitmapRow(i));
        } else {
            const int cellRow = (i - bitmapBytes) / 32;
            rows.fill(true, cellRow * 8, cellRow * 8 + 8);
        }
    }
    return rows;
}

} // namespace screen

QImage screenPicture(const QByteArray &bytes)
{
    QImage picture(screen::width, screen::height, QImage::Format_RGB32);
    auto byteAt = [&bytes](int i) { return i < bytes.size() ? quint8(bytes.at(i)) : quint8(0); };
    for (int offset = 0; offset < screen::bitmapBytes; ++offset) {
        const int y = screen::bitmapRow(offset);
        const int column = offset & 0x1F;
        const quint8 attribute = byteAt(screen::bitmapBytes + (y / 8) * 32 + column);
        const bool bright = attribute & 0x40;
        const QRgb ink = screen::colour(attribute & 7, bright);
        const QRgb paper = screen::colour((attribute >> 3) & 7, bright);
        const quint8 pixels = byteAt(offset);
        auto *line = reinterpret_cast<QRgb *>(picture.scanLine(y)) + column * 8;
        for (int bit = 0; bit < 8; ++bit)
            line[bit] = pixels & (0x80 >> bit) ? ink : paper;
    }
    return picture;
}

namespace {
constexpr int markWidth = 8;
constexpr int gap = 4;
} // namespace

ScreenPreview::ScreenPreview(QWidget *parent)
    : QWidget(parent)
{
    setBackgroundRole(QPalette::Base);
    setAutoFillBackground(true);
}

void ScreenPreview::setScreen(const QImage &picture, const QBitArray &damagedRows)
{
    image = picture;
    marked = damagedRows;
    updateGeometry();
    update();
}

QSize ScreenPreview::sizeHint() const
{
    return QSize(markWidth + gap + 2 * screen::width, 2 * screen::height);
}

QSize ScreenPreview::minimumSizeHint() const
{
    return QSize(markWidth + gap + screen::width / 2, screen::height / 2);
}

QRect ScreenPreview::pictureRect() const
{
    // As large as the room allows; whole multiples from twice the size on,
    // so that pixels stay square and sharp where it matters least to fill.
    const int room = width() - markWidth - gap;
    qreal scale = qMin(qreal(room) / screen::width, qreal(height()) / screen::height);
    if (scale >= 2)
        scale = qFloor(scale);
    scale = qMax<qreal>(scale, 0.25);
    return QRect(markWidth + gap, 0, int(screen::width * scale), int(screen::height * scale));
}

void ScreenPreview::paintEvent(QPaintEvent *)
{
    if (image.isNull())
        return;
    QPainter painter(this);
    const QRect target = pictureRect();
    painter.drawImage(target, image);
    const SectorLook &missing = sectorLook(SectorState::Missing);
    const qreal rowHeight = qreal(target.height()) / screen::height;
    for (int row = 0; row < marked.size(); ++row) {
        if (!marked.testBit(row))
            continue;
        int last = row;
        while (last + 1 < marked.size() && marked.testBit(last + 1))
            ++last;
        const int top = int(row * rowHeight);
        const int bottom = int((last + 1) * rowHeight);
        painter.fillRect(QRect(0, top, markWidth, bottom - top), missing.colour);
        painter.fillRect(QRect(target.left(), top, target.width(), bottom - top),
                         QBrush(missing.colour, Qt::BDiagPattern));
        row = last;
    }
}
