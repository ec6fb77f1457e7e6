#pragma once

#include "imagelist/imagerow.h"

#include <QAbstractScrollArea>
#include <QByteArray>
#include <QColor>
#include <QString>
#include <QVector>

// The tints of read and of missing sectors, as the palette gives them.
extern const QColor goodSectorColour;
extern const QColor badSectorColour;

// One 16-byte line of the dump at offset, "%1 þ %2 ... þ %18".
QString hexDumpLine(const QByteArray &data, int offset);
// The character shown for a byte in the dump's character column.
QChar hexDumpChar(quint8 byte);

// The dump of an image, sector by sector: 16 lines of hexDumpLine per map
// entry, then two blank lines, each sector's lines on the faint tint of its
// state. It keeps the data and map (shared, not copied), makes a line's
// text when it is needed and paints only the lines on screen, so showing
// the largest images costs neither a long fill nor memory for every line.
// Lines never wrap.
class HexView : public QAbstractScrollArea
{
    Q_OBJECT

public:
    static constexpr int linesPerSector = 18;
    // Space around the text, as a text document leaves.
    static constexpr int margin = 4;

    explicit HexView(QWidget *parent = nullptr);

    // Replaces the dump with that of data, one sector per map entry (bytes
    // the data lacks read as zero), and scrolls to the top. A sector whose
    // map entry is 0 is missing; a read one is suspect where states says
    // so, good otherwise.
    void setData(const QByteArray &data, const QByteArray &map,
                 const QVector<SectorState> &states = QVector<SectorState>());
    void clear();

    SectorState sectorState(int sector) const;

    int lineCount() const;
    QString lineText(int line) const;
    // The tint behind the line's text; invalid for the blank lines.
    QColor lineBackground(int line) const;
    // All lines joined by line feeds. Meant for small images.
    QString toPlainText() const;

    int lineHeight() const;
    // The line at the top of the viewport.
    int firstVisibleLine() const;
    void scrollToLine(int line);

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void changeEvent(QEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    bool isDumpLine(int line) const;
    // Widths and heights follow the font and the addresses' length.
    void measure();
    void updateScrollBars();

    QByteArray data;
    QByteArray map;
    QVector<SectorState> states;
    int textWidth = 0; // the widest line
};

// Shows the dump of data in view and scrolls to the top.
void fillHexView(HexView *view, const QByteArray &data, const QByteArray &map,
                 const QVector<SectorState> &states = QVector<SectorState>());

// The state of every sector of row, in logical order.
QVector<SectorState> sectorStates(const ImageRow &row);
