#pragma once

#include <QBitArray>
#include <QByteArray>
#include <QImage>
#include <QWidget>

// The ZX Spectrum screen: a 6,144-byte bitmap of 256 x 192 pixels in three
// thirds whose pixel rows are interleaved, then 768 attribute bytes, one
// per 8 x 8 cell (ink in bits 0-2, paper in bits 3-5, bright, flash).
namespace screen {
constexpr int width = 256;
constexpr int height = 192;
constexpr int bitmapBytes = 6144;
constexpr int bytes = 6912;

// The colour of index 0..7 (black, blue, red, magenta, green, cyan,
// yellow, white), bright or not.
QRgb colour(int index, bool bright);
// The pixel row that bitmap byte offset shows.
int bitmapRow(int offset);
// The pixel rows that bytes [offset, offset + length) of a screen file
// show: a bitmap byte its own row, an attribute byte its cell's eight.
QBitArray rowsOf(int offset, int length);
} // namespace screen

// The picture of a screen file, flash in its first phase (ink as ink).
// Bytes beyond the data read as zero.
QImage screenPicture(const QByteArray &bytes);

// A screen's picture, enlarged to fit, with the rows that damaged bytes
// show marked beside it and hatched over.
class ScreenPreview : public QWidget
{
    Q_OBJECT

public:
    explicit ScreenPreview(QWidget *parent = nullptr);

    void setScreen(const QImage &picture, const QBitArray &damagedRows);
    const QImage &picture() const { return image; }
    const QBitArray &damagedRows() const { return marked; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QRect pictureRect() const;

    QImage image;
    QBitArray marked;
};
