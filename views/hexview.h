#pragma once

#include "imagelist/imagerow.h"

#include <QAbstractScrollArea>
#include <QByteArray>
#include <QColor>
#include <QString>
#include <QVector>

class QComboBox;
class QLabel;
class QLineEdit;

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
//
// A byte is chosen by a click or by the arrow keys; a drag or the arrows
// with Shift select a run of bytes, which Ctrl+C copies as hex and
// Ctrl+Shift+C as text. The find bar (findBar(), Ctrl+F) looks for bytes
// typed in hex or for text; F3 and Shift+F3 go to the next and previous
// match while the view or the bar has the keys. A range of the data (a
// file's extent) can be highlighted apart from the selection.
class HexView : public QAbstractScrollArea
{
    Q_OBJECT

public:
    enum class FindKind { Text, Hex };

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

    // Highlights [offset, offset + length) of the data and scrolls so that
    // offset's line is at the top.
    void showRange(qint64 offset, qint64 length);
    void clearRange();
    qint64 rangeStart() const { return range.start; }
    qint64 rangeLength() const { return range.length; }

    // Bytes of the dump: map.size() * 256 of them, 0 without an image.
    qint64 byteCount() const;
    // The byte chosen last, -1 when none is.
    qint64 cursorPosition() const { return cursor; }
    // Chooses a byte (extend: and selects from the selection's anchor to
    // it) and scrolls it into view.
    void setCursorPosition(qint64 offset, bool extend = false);
    // Selects [start, start + length) with the cursor on its last byte.
    void setSelection(qint64 start, qint64 length);
    void selectAll();
    qint64 selectionStart() const;
    qint64 selectionLength() const;
    QByteArray selectedBytes() const;
    // The selection as lower-case hex bytes separated by blanks, and as
    // text: printable characters as they are, a line feed for 0x0d, '.'
    // for every other byte.
    QString selectedHex() const;
    QString selectedText() const;
    void copyAsHex() const;
    void copyAsText() const;

    // Looks for what (bytes in hex, blanks allowed, or text) after the
    // selection (direction 1) or before it (-1), starting over at the other
    // end when it runs out; selects the match and shows it. False, with the
    // find bar saying why, when there is none.
    bool find(const QString &what, FindKind kind, int direction);
    bool findNext() { return findAgain(1); }
    bool findPrevious() { return findAgain(-1); }
    // "fe 01", "fe01" or "FE 1" as bytes; empty for anything else.
    static QByteArray parseHexBytes(const QString &text);
    // Text as the bytes the disk would hold it in.
    static QByteArray textBytes(const QString &text);

    // The find bar: a field, its kind, Previous and Next. The window puts it
    // below the view; Ctrl+F shows it and Escape hides it again.
    QWidget *findBar() const { return bar; }
    void showFindBar();

    // Where a byte is drawn in the viewport: its two hex digits, or its
    // character; empty when the line is not on screen. The byte at a point
    // of the viewport, -1 where there is none.
    QRect byteRect(qint64 offset, bool character = false) const;
    qint64 byteAt(const QPoint &pos) const;

    QSize minimumSizeHint() const override;
    QSize sizeHint() const override;

signals:
    // The user chose a byte: a click, the arrow keys or a match found.
    void positionChosen(qint64 offset);

protected:
    bool event(QEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void changeEvent(QEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;

private:
    struct Span
    {
        qint64 start = 0;
        qint64 length = 0;
        bool contains(qint64 offset) const { return offset >= start && offset < start + length; }
    };

    bool isDumpLine(int line) const;
    // The dump line of a byte and the first byte of a dump line.
    static int lineOfByte(qint64 offset);
    static qint64 firstByteOfLine(int line);
    // Widths and heights follow the font and the addresses' length.
    void measure();
    void updateScrollBars();
    int textLeft() const;
    int textTop() const;
    void ensureVisible(qint64 offset);
    // Handles the keys that copy, select all, find and find again; false
    // for any other.
    bool isViewKey(const QKeyEvent *event) const;
    bool handleViewKey(QKeyEvent *event);
    bool findAgain(int direction);
    void buildFindBar();
    void setFindStatus(const QString &text);

    QByteArray data;
    QByteArray map;
    QVector<SectorState> states;
    int textWidth = 0; // the widest line
    qint64 cursor = -1;
    qint64 anchor = -1;
    Span range;
    QWidget *bar = nullptr;
    QLineEdit *findField = nullptr;
    QComboBox *findKind = nullptr;
    QLabel *findStatus = nullptr;
};

// Shows the dump of data in view and scrolls to the top.
void fillHexView(HexView *view, const QByteArray &data, const QByteArray &map,
                 const QVector<SectorState> &states = QVector<SectorState>());

// The state of every sector of row, in logical order.
QVector<SectorState> sectorStates(const ImageRow &row);
