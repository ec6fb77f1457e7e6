#pragma once

#include <QByteArray>
#include <QFont>
#include <QGraphicsItem>
#include <QGraphicsView>

class QLineEdit;

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

// The GfxView page's view: the picture of an image's data with its labels.
// It follows a position chosen elsewhere (showOffset(): the hex view's
// cursor, a sector of the map) and goes to an offset typed into its Go to
// field (goToBar(), which the window puts beside the shift slider).
class GfxView : public QGraphicsView
{
    Q_OBJECT

public:
    explicit GfxView(QWidget *parent = nullptr);
    ~GfxView() override;

    // Draws data with the cell grid shifted by shift bytes (0..7). Keep
    // false: a new scene with the labels, scrolled to the position last
    // followed; keep true: the picture only, the scroll position stays (a
    // full draw when there is no scene yet).
    void draw(const QByteArray &data, int shift, bool keep, const QFont &labelFont);
    int shift() const { return shiftNow; }

    // Scrolls so that the cell row holding offset is at the top, now and
    // on the next full draw; 0 goes back to the top.
    void showOffset(qint64 offset);
    // The data offset of the cell row at the top of the view.
    qint64 offsetAtTop() const;

    // Goes to an offset in hex ("1a30", "0x1a30", "$1a30", "#1a30"), as the
    // labels show it; false, saying why in the field's tooltip, otherwise.
    bool goTo(const QString &text);
    QWidget *goToBar() const { return bar; }
    QLineEdit *goToField() const { return field; }

private:
    void scrollToFollowed();

    QGraphicsScene *scene = nullptr;
    QGraphicsItem *picture = nullptr;
    int shiftNow = 0;
    qint64 dataSize = 0;
    qint64 followed = 0;
    QWidget *bar = nullptr;
    QLineEdit *field = nullptr;
};
