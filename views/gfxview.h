#pragma once

#include <QByteArray>
#include <QFont>
#include <QGraphicsItem>

// Rearranges the data into 1-bit pixel rows of 8 x 8 cells, 16 cells a row:
// block k of 128 bytes from shift + 128 k becomes 8 pixel rows of 16 bytes.
QByteArray gfxCells(const QByteArray &data, int shift);

// The data's picture, enlarged four times. It keeps only the 1-bit cells
// and paints the exposed rows, so memory stays bounded by the data size
// whatever the image (one pixmap would cost 128 KiB per sector).
class GfxPictureItem : public QGraphicsItem
{
public:
    static constexpr int scale = 4;
    static constexpr int pictureWidth = 128;
    enum { Type = UserType + 1 };

    explicit GfxPictureItem(const QByteArray &cells, QGraphicsItem *parent = nullptr);

    int type() const override { return Type; }

    QRectF boundingRect() const override;
    void paint(QPainter *painter, const QStyleOptionGraphicsItem *option, QWidget *widget) override;

    int pixelRows() const { return cells.size() / 16; }
    // Colour of a pixel of the unscaled picture.
    bool inkAt(int x, int y) const;

private:
    QByteArray cells;
};

// The "0x%1" offset labels of the cell rows at (-100, 32 j), painted only
// where exposed instead of one text item per row.
class GfxLabelsItem : public QGraphicsItem
{
public:
    enum { Type = UserType + 2 };

    GfxLabelsItem(int rows, const QFont &font, QGraphicsItem *parent = nullptr);

    int type() const override { return Type; }

    QRectF boundingRect() const override;
    void paint(QPainter *painter, const QStyleOptionGraphicsItem *option, QWidget *widget) override;

    int count() const { return rows; }
    static QString labelText(int row);
    static QPointF labelPosition(int row);

private:
    int rows;
    QFont font;
    qreal textWidth;
};
