#include "gfxview.h"

#include <QFontMetricsF>
#include <QGraphicsScene>
#include <QHBoxLayout>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QScrollBar>
#include <QStyleOptionGraphicsItem>
#include <QToolTip>

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

GfxView::GfxView(QWidget *parent)
    : QGraphicsView(parent)
{
    bar = new QWidget(this);
    bar->setObjectName(QStringLiteral("gfxGoToBar"));
    bar->hide(); // until the window places it
    bar->setSizePolicy(QSizePolicy::Maximum, QSizePolicy::Preferred);
    auto *layout = new QHBoxLayout(bar);
    layout->setContentsMargins(0, 0, 0, 0);
    auto *label = new QLabel(tr("Go &to"), bar);
    field = new QLineEdit(bar);
    field->setObjectName(QStringLiteral("gfxGoTo"));
    field->setPlaceholderText(tr("offset"));
    field->setToolTip(tr("A byte offset in hex, as the labels show it; Enter goes there"));
    field->setClearButtonEnabled(true);
    field->setMaximumWidth(field->fontMetrics().horizontalAdvance(QStringLiteral("0x0000000")) * 2);
    label->setBuddy(field);
    layout->addWidget(label);
    layout->addWidget(field);
    connect(field, &QLineEdit::returnPressed, this, [this] { goTo(field->text()); });
}

GfxView::~GfxView()
{
    setScene(nullptr);
    delete scene;
}

void GfxView::draw(const QByteArray &data, int shift, bool keep, const QFont &labelFont)
{
    auto *item = new GfxPictureItem(gfxCells(data, shift));
    shiftNow = shift;
    dataSize = data.size();
    // A picture-only redraw before any scene exists draws the whole scene.
    if (keep && scene) {
        const int scroll = verticalScrollBar()->value();
        delete picture;
        scene->addItem(item);
        picture = item;
        verticalScrollBar()->setValue(scroll);
        return;
    }
    auto *old = scene;
    scene = new QGraphicsScene(this);
    scene->addItem(item);
    picture = item;
    scene->addItem(new GfxLabelsItem(item->pixelRows() / 8, labelFont));
    setScene(scene);
    delete old;
    show();
    scrollToFollowed();
}

void GfxView::showOffset(qint64 offset)
{
    followed = qMax<qint64>(0, offset);
    scrollToFollowed();
}

void GfxView::scrollToFollowed()
{
    if (!scene)
        return;
    const qint64 row = qMax<qint64>(0, followed - shiftNow) / blockBytes;
    if (row == 0) {
        verticalScrollBar()->setValue(0);
        return;
    }
    // The row's top in the scene, brought to the viewport's top.
    const int y = mapFromScene(QPointF(0, qreal(row) * cellRowHeight)).y();
    verticalScrollBar()->setValue(verticalScrollBar()->value() + y);
}

qint64 GfxView::offsetAtTop() const
{
    if (!scene)
        return 0;
    const qreal top = mapToScene(QPoint(0, 0)).y();
    return shiftNow + qint64(qMax<qreal>(0, top + cellRowHeight / 2) / cellRowHeight) * blockBytes;
}

bool GfxView::goTo(const QString &typed)
{
    QString text = typed.trimmed();
    for (const QString &prefix : {QStringLiteral("0x"), QStringLiteral("0X"), QStringLiteral("$"), QStringLiteral("#")}) {
        if (text.startsWith(prefix)) {
            text = text.mid(prefix.size());
            break;
        }
    }
    bool ok = false;
    const qint64 offset = text.toLongLong(&ok, 16);
    QString why;
    if (!ok || offset < 0)
        why = tr("Not an offset in hex: %1").arg(typed);
    else if (offset >= dataSize)
        why = tr("The image has no offset %1").arg(offset, 4, 16, QLatin1Char('0'));
    if (!why.isEmpty()) {
        QToolTip::showText(field->mapToGlobal(QPoint(0, field->height())), why, field);
        return false;
    }
    showOffset(offset);
    return true;
}
