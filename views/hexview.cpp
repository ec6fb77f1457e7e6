#include "hexview.h"

#include "palette.h"

#include "disk/geometry.h"

#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPainter>
#include <QScrollBar>
#include <QStringList>
#include <QToolButton>

#include <limits>

const QColor goodSectorColour = sectorLook(SectorState::Good).hexTint;
const QColor badSectorColour = sectorLook(SectorState::Missing).hexTint;

namespace {
using geometry::sectorSize;
constexpr int bytesPerLine = 16;
const QChar separator(0x00FE); // the font draws it as a thin vertical bar

const char hexDigits[] = "0123456789abcdef";
constexpr int dumpLinesPerSector = sectorSize / bytesPerLine;
// Where a line's parts begin, counted in characters after its address.
constexpr int groupColumns = 14;   // " þ" and four " xx"
constexpr int characterColumn = 59; // four groups, then " þ "
// Behind a highlighted range (a file's extent): a faint blue that the
// sector tints still show through.
const QColor rangeTint(40, 110, 255, 70);

int hexColumn(int addressLength, int byte)
{
    return addressLength + byte / 4 * groupColumns + 3 + byte % 4 * 3;
}

int charColumn(int addressLength, int byte)
{
    return addressLength + characterColumn + byte;
}

// The left edge of every column of a line, and of the end.
QVector<int> columnEdges(const QFontMetrics &metrics, const QString &text)
{
    QVector<int> edges(text.size() + 1);
    for (int i = 0; i <= text.size(); ++i)
        edges[i] = metrics.horizontalAdvance(text.left(i));
    return edges;
}

void appendHexByte(QString &line, quint8 byte)
{
    line += QLatin1Char(hexDigits[byte >> 4]);
    line += QLatin1Char(hexDigits[byte & 0xF]);
}

} // namespace

QChar hexDumpChar(quint8 byte)
{
    // 0x80..0xA4 are the font's block graphics and user-defined graphics.
    if (byte >= 0x21 && byte <= 0xA4)
        return QChar(byte);
    return QLatin1Char(' ');
}

QString hexDumpLine(const QByteArray &data, int offset)
{
    auto byteAt = [&data](int pos) -> quint8 {
        return pos < data.size() ? static_cast<quint8>(data.at(pos)) : 0;
    };
    QString line = QStringLiteral("%1").arg(offset, 5, 16, QLatin1Char('0'));
    for (int group = 0; group < 4; ++group) {
        line += QLatin1Char(' ');
        line += separator;
        for (int i = 0; i < 4; ++i) {
            line += QLatin1Char(' ');
            appendHexByte(line, byteAt(offset + group * 4 + i));
        }
    }
    line += QLatin1Char(' ');
    line += separator;
    line += QLatin1Char(' ');
    for (int i = 0; i < bytesPerLine; ++i)
        line += hexDumpChar(byteAt(offset + i));
    return line;
}

HexView::HexView(QWidget *parent)
    : QAbstractScrollArea(parent)
{
    setFocusPolicy(Qt::StrongFocus);
    buildFindBar();
    measure();
}

void HexView::setData(const QByteArray &data, const QByteArray &map, const QVector<SectorState> &states)
{
    this->data = data;
    this->map = map;
    this->states = states;
    cursor = anchor = -1;
    range = Span();
    measure();
    verticalScrollBar()->setValue(0);
}

void HexView::clear()
{
    setData(QByteArray(), QByteArray());
}

int HexView::lineCount() const
{
    return map.size() * linesPerSector;
}

bool HexView::isDumpLine(int line) const
{
    return line >= 0 && line < lineCount() && line % linesPerSector < sectorSize / bytesPerLine;
}

QString HexView::lineText(int line) const
{
    if (!isDumpLine(line))
        return QString();
    return hexDumpLine(data, line / linesPerSector * sectorSize + line % linesPerSector * bytesPerLine);
}

QColor HexView::lineBackground(int line) const
{
    if (!isDumpLine(line))
        return QColor();
    return sectorLook(sectorState(line / linesPerSector)).hexTint;
}

SectorState HexView::sectorState(int sector) const
{
    if (sector < 0 || sector >= map.size() || map.at(sector) == 0)
        return SectorState::Missing;
    const SectorState state = states.value(sector, SectorState::Good);
    return state == SectorState::Suspect || state == SectorState::Repaired ? state : SectorState::Good;
}

QString HexView::toPlainText() const
{
    QStringList lines;
    lines.reserve(lineCount());
    for (int line = 0; line < lineCount(); ++line)
        lines << lineText(line);
    return lines.join(QLatin1Char('\n'));
}

int HexView::lineHeight() const
{
    return qMax(1, fontMetrics().height());
}

int HexView::firstVisibleLine() const
{
    const int line = (verticalScrollBar()->value() - margin) / lineHeight();
    return qBound(0, line, qMax(0, lineCount() - 1));
}

void HexView::scrollToLine(int line)
{
    verticalScrollBar()->setValue(line <= 0 ? 0 : margin + line * lineHeight());
}

void HexView::measure()
{
    // The last sector has the longest addresses; with the fixed-pitch font
    // every line of a sector is as wide as its first.
    textWidth = 0;
    if (!map.isEmpty()) {
        const QFontMetrics metrics = fontMetrics();
        textWidth = qMax(metrics.horizontalAdvance(lineText(0)),
                         metrics.horizontalAdvance(lineText((map.size() - 1) * linesPerSector)));
    }
    updateScrollBars();
    updateGeometry();
    viewport()->update();
}

void HexView::updateScrollBars()
{
    auto fit = [](QScrollBar *bar, qint64 content, int page, int step) {
        const qint64 range = qBound<qint64>(0, content - page, std::numeric_limits<int>::max());
        bar->setRange(0, int(range));
        bar->setPageStep(page);
        bar->setSingleStep(step);
    };
    const QSize page = viewport()->size();
    const qint64 height = lineCount() == 0 ? 0 : qint64(lineCount()) * lineHeight() + 2 * margin;
    fit(verticalScrollBar(), height, page.height(), lineHeight());
    fit(horizontalScrollBar(), textWidth == 0 ? 0 : textWidth + 2 * margin, page.width(),
        fontMetrics().averageCharWidth());
}

void HexView::paintEvent(QPaintEvent *event)
{
    QPainter painter(viewport());
    painter.setFont(font());
    const QColor text = palette().color(QPalette::Text);
    const QColor highlight = palette().color(QPalette::Highlight);
    const QColor highlightedText = palette().color(QPalette::HighlightedText);
    const QFontMetrics metrics = fontMetrics();
    const int height = lineHeight();
    const int top = verticalScrollBar()->value() - margin;
    const int left = textLeft();
    const QRect exposed = event->rect();
    const int first = qMax(0, (top + exposed.top()) / height);
    const int last = qMin(lineCount(), (top + exposed.bottom()) / height + 1);
    const Span selection{selectionStart(), selectionLength()};
    for (int line = first; line < last; ++line) {
        if (!isDumpLine(line))
            continue;
        const QString lineString = lineText(line);
        const int y = line * height - top;
        const QVector<int> edges = columnEdges(metrics, lineString);
        painter.fillRect(QRect(left, y, edges.last(), height), lineBackground(line));

        // The parts of the line that belong to a span: a byte's hex digits
        // reach to the next byte's when that byte belongs to the span too.
        const qint64 base = firstByteOfLine(line);
        const int addressLength = lineString.indexOf(QLatin1Char(' '));
        auto spanRects = [&](const Span &span) {
            QVector<QPair<QRect, int>> parts; // rectangle, first column
            for (int byte = 0; byte < bytesPerLine; ++byte) {
                if (!span.contains(base + byte))
                    continue;
                const bool joined = byte + 1 < bytesPerLine && span.contains(base + byte + 1);
                const int hex = hexColumn(addressLength, byte);
                const int hexEnd = joined ? hexColumn(addressLength, byte + 1) : hex + 2;
                parts.append({QRect(left + edges[hex], y, edges[hexEnd] - edges[hex], height), hex});
                const int character = charColumn(addressLength, byte);
                parts.append({QRect(left + edges[character], y, edges[character + 1] - edges[character], height),
                              character});
            }
            return parts;
        };
        for (const auto &part : spanRects(range))
            painter.fillRect(part.first, rangeTint);
        painter.setPen(text);
        painter.drawText(left, y + metrics.ascent(), lineString);
        for (const auto &part : spanRects(selection)) {
            painter.fillRect(part.first, highlight);
            painter.setPen(highlightedText);
            const int length = part.second >= charColumn(addressLength, 0) ? 1 : 2;
            painter.drawText(left + edges[part.second], y + metrics.ascent(), lineString.mid(part.second, length));
        }
        if (cursor >= base && cursor < base + bytesPerLine && hasFocus()) {
            painter.setPen(text);
            painter.setBrush(Qt::NoBrush);
            for (int column : {hexColumn(addressLength, int(cursor - base)), charColumn(addressLength, int(cursor - base))}) {
                const int width = column >= charColumn(addressLength, 0) ? 1 : 2;
                painter.drawRect(QRect(left + edges[column], y, edges[column + width] - edges[column], height)
                                     .adjusted(0, 0, -1, -1));
            }
        }
    }
}

void HexView::resizeEvent(QResizeEvent *event)
{
    QAbstractScrollArea::resizeEvent(event);
    updateScrollBars();
}

void HexView::changeEvent(QEvent *event)
{
    QAbstractScrollArea::changeEvent(event);
    if (event->type() == QEvent::FontChange)
        measure();
}

bool HexView::isViewKey(const QKeyEvent *event) const
{
    const QKeySequence key(int(event->modifiers() & ~Qt::KeypadModifier) | event->key());
    if (key == QKeySequence(Qt::Key_F3) || key == QKeySequence(Qt::SHIFT | Qt::Key_F3))
        return !findField->text().isEmpty();
    return event->matches(QKeySequence::Copy) || key == QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_C)
        || event->matches(QKeySequence::SelectAll) || event->matches(QKeySequence::Find);
}

bool HexView::handleViewKey(QKeyEvent *event)
{
    if (!isViewKey(event))
        return false;
    if (event->key() == Qt::Key_F3) {
        findAgain(event->modifiers() & Qt::ShiftModifier ? -1 : 1);
    } else if (event->matches(QKeySequence::Copy)) {
        copyAsHex();
    } else if (event->key() == Qt::Key_C) {
        copyAsText();
    } else if (event->matches(QKeySequence::SelectAll)) {
        selectAll();
    } else {
        showFindBar();
    }
    return true;
}

bool HexView::event(QEvent *event)
{
    // The view's own keys win over the window's shortcuts while it has the
    // focus: F3 finds again once there is something to find.
    if (event->type() == QEvent::ShortcutOverride && isViewKey(static_cast<QKeyEvent *>(event))) {
        event->accept();
        return true;
    }
    return QAbstractScrollArea::event(event);
}

void HexView::keyPressEvent(QKeyEvent *event)
{
    if (handleViewKey(event))
        return;
    const int pageLines = qMax(1, viewport()->height() / lineHeight() * dumpLinesPerSector / HexView::linesPerSector);
    qint64 step = 0;
    switch (event->key()) {
    case Qt::Key_Left:
        step = -1;
        break;
    case Qt::Key_Right:
        step = 1;
        break;
    case Qt::Key_Up:
        step = -bytesPerLine;
        break;
    case Qt::Key_Down:
        step = bytesPerLine;
        break;
    case Qt::Key_PageUp:
        step = -qint64(bytesPerLine) * pageLines;
        break;
    case Qt::Key_PageDown:
        step = qint64(bytesPerLine) * pageLines;
        break;
    default:
        break;
    }
    if (step != 0 && byteCount() > 0) {
        // Without a chosen byte the keys start from the first one in view.
        const qint64 from = cursor >= 0 ? cursor : firstByteOfLine(firstVisibleLine() / linesPerSector * linesPerSector);
        const qint64 to = cursor >= 0 ? from + step : from;
        setCursorPosition(qBound<qint64>(0, to, byteCount() - 1), event->modifiers() & Qt::ShiftModifier);
        return;
    }
    if (event == QKeySequence::MoveToStartOfDocument || event->key() == Qt::Key_Home)
        verticalScrollBar()->triggerAction(QAbstractSlider::SliderToMinimum);
    else if (event == QKeySequence::MoveToEndOfDocument || event->key() == Qt::Key_End)
        verticalScrollBar()->triggerAction(QAbstractSlider::SliderToMaximum);
    else
        QAbstractScrollArea::keyPressEvent(event);
}

void HexView::mousePressEvent(QMouseEvent *event)
{
    const qint64 byte = byteAt(event->pos());
    if (byte < 0 || (event->button() != Qt::LeftButton && event->button() != Qt::RightButton)) {
        QAbstractScrollArea::mousePressEvent(event);
        return;
    }
    setFocus(Qt::MouseFocusReason);
    // A right click inside the selection keeps it for the menu.
    if (event->button() == Qt::RightButton && selectionLength() > 0 && byte >= selectionStart()
        && byte < selectionStart() + selectionLength())
        return;
    setCursorPosition(byte, event->button() == Qt::LeftButton && (event->modifiers() & Qt::ShiftModifier));
}

void HexView::mouseMoveEvent(QMouseEvent *event)
{
    if (!(event->buttons() & Qt::LeftButton) || cursor < 0) {
        QAbstractScrollArea::mouseMoveEvent(event);
        return;
    }
    // Dragging past the top or the bottom scrolls on, a line at a time.
    QPoint pos = event->pos();
    const QRect area = viewport()->rect();
    if (pos.y() < 0)
        verticalScrollBar()->triggerAction(QAbstractSlider::SliderSingleStepSub);
    else if (pos.y() >= area.height())
        verticalScrollBar()->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    pos.setY(qBound(0, pos.y(), area.height() - 1));
    // Between the hex and the characters, or on the gap lines, the nearest
    // byte before the point counts.
    qint64 byte = -1;
    for (int x = pos.x(); byte < 0 && x >= 0; x -= qMax(1, fontMetrics().averageCharWidth()))
        byte = byteAt(QPoint(x, pos.y()));
    if (byte >= 0 && byte != cursor)
        setCursorPosition(byte, true);
}

void HexView::contextMenuEvent(QContextMenuEvent *event)
{
    QMenu menu(this);
    const bool chosen = selectionLength() > 0;
    QAction *hex = menu.addAction(tr("Copy as &hex"), this, &HexView::copyAsHex);
    hex->setShortcut(QKeySequence::Copy);
    hex->setEnabled(chosen);
    QAction *text = menu.addAction(tr("Copy as &text"), this, &HexView::copyAsText);
    text->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_C));
    text->setEnabled(chosen);
    menu.addSeparator();
    QAction *all = menu.addAction(tr("Select &all"), this, &HexView::selectAll);
    all->setShortcut(QKeySequence::SelectAll);
    all->setEnabled(byteCount() > 0);
    QAction *find = menu.addAction(tr("&Find…"), this, &HexView::showFindBar);
    find->setShortcut(QKeySequence::Find);
    menu.exec(event->globalPos());
}

void HexView::showRange(qint64 offset, qint64 length)
{
    range = Span{qMax<qint64>(0, offset), qMax<qint64>(0, length)};
    scrollToLine(lineOfByte(range.start));
    viewport()->update();
}

void HexView::clearRange()
{
    range = Span();
    viewport()->update();
}

void HexView::focusInEvent(QFocusEvent *event)
{
    QAbstractScrollArea::focusInEvent(event);
    viewport()->update(); // the cursor's frame
}

void HexView::focusOutEvent(QFocusEvent *event)
{
    QAbstractScrollArea::focusOutEvent(event);
    viewport()->update();
}

qint64 HexView::byteCount() const
{
    return qint64(map.size()) * sectorSize;
}

int HexView::lineOfByte(qint64 offset)
{
    return int(offset / sectorSize) * linesPerSector + int(offset % sectorSize) / bytesPerLine;
}

qint64 HexView::firstByteOfLine(int line)
{
    return qint64(line / linesPerSector) * sectorSize + line % linesPerSector * bytesPerLine;
}

int HexView::textLeft() const
{
    return margin - horizontalScrollBar()->value();
}

int HexView::textTop() const
{
    return margin - verticalScrollBar()->value();
}

QRect HexView::byteRect(qint64 offset, bool character) const
{
    if (offset < 0 || offset >= byteCount())
        return QRect();
    const int line = lineOfByte(offset);
    const QRect box(0, textTop() + line * lineHeight(), 1, lineHeight());
    if (box.bottom() < 0 || box.top() >= viewport()->height())
        return QRect();
    const QString text = lineText(line);
    const int addressLength = text.indexOf(QLatin1Char(' '));
    const int byte = int(offset % bytesPerLine);
    const int column = character ? charColumn(addressLength, byte) : hexColumn(addressLength, byte);
    const QFontMetrics metrics = fontMetrics();
    const int x = textLeft() + metrics.horizontalAdvance(text.left(column));
    const int width = metrics.horizontalAdvance(text.mid(column, character ? 1 : 2));
    return QRect(x, box.top(), width, box.height());
}

qint64 HexView::byteAt(const QPoint &pos) const
{
    const int y = pos.y() - textTop();
    if (y < 0)
        return -1;
    const int line = y / lineHeight();
    if (!isDumpLine(line))
        return -1;
    const QString text = lineText(line);
    const QVector<int> edges = columnEdges(fontMetrics(), text);
    const int addressLength = text.indexOf(QLatin1Char(' '));
    const int x = pos.x() - textLeft();
    for (int byte = 0; byte < bytesPerLine; ++byte) {
        // A byte's hex digits and the blank after them; its character.
        const int hex = hexColumn(addressLength, byte);
        const int character = charColumn(addressLength, byte);
        if ((x >= edges[hex] && x < edges[hex + 3]) || (x >= edges[character] && x < edges[character + 1]))
            return firstByteOfLine(line) + byte;
    }
    return -1;
}

void HexView::ensureVisible(qint64 offset)
{
    const int line = lineOfByte(offset);
    const int top = margin + line * lineHeight();
    QScrollBar *bar = verticalScrollBar();
    if (top < bar->value() + margin)
        bar->setValue(top - margin);
    else if (top + lineHeight() > bar->value() + viewport()->height())
        bar->setValue(top + lineHeight() - viewport()->height());
}

void HexView::setCursorPosition(qint64 offset, bool extend)
{
    if (byteCount() == 0)
        return;
    offset = qBound<qint64>(0, offset, byteCount() - 1);
    if (!extend || anchor < 0)
        anchor = offset;
    cursor = offset;
    ensureVisible(offset);
    viewport()->update();
    emit positionChosen(offset);
}

void HexView::setSelection(qint64 start, qint64 length)
{
    if (byteCount() == 0 || length <= 0)
        return;
    start = qBound<qint64>(0, start, byteCount() - 1);
    anchor = start;
    setCursorPosition(qMin(byteCount() - 1, start + length - 1), true);
}

void HexView::selectAll()
{
    setSelection(0, byteCount());
}

qint64 HexView::selectionStart() const
{
    return cursor < 0 ? 0 : qMin(cursor, anchor);
}

qint64 HexView::selectionLength() const
{
    return cursor < 0 ? 0 : qAbs(cursor - anchor) + 1;
}

QByteArray HexView::selectedBytes() const
{
    // Bytes the data lacks read as zero, as the dump shows them.
    QByteArray bytes(int(qMin<qint64>(selectionLength(), std::numeric_limits<int>::max())), '\0');
    const qint64 start = selectionStart();
    for (int i = 0; i < bytes.size() && start + i < data.size(); ++i)
        bytes[i] = data.at(int(start + i));
    return bytes;
}

QString HexView::selectedHex() const
{
    const QByteArray bytes = selectedBytes();
    QString text;
    text.reserve(bytes.size() * 3);
    for (int i = 0; i < bytes.size(); ++i) {
        if (i > 0)
            text += QLatin1Char(' ');
        appendHexByte(text, quint8(bytes.at(i)));
    }
    return text;
}

QString HexView::selectedText() const
{
    const QByteArray bytes = selectedBytes();
    QString text;
    text.reserve(bytes.size());
    for (char c : bytes) {
        const quint8 byte = quint8(c);
        if (byte == 0x0D)
            text += QLatin1Char('\n');
        else if (byte == 0x60)
            text += QChar(0x00A3); // the pound sign
        else if (byte == 0x7F)
            text += QChar(0x00A9); // the copyright sign
        else if (byte >= 0x20 && byte < 0x7F)
            text += QLatin1Char(char(byte));
        else
            text += QLatin1Char('.');
    }
    return text;
}

void HexView::copyAsHex() const
{
    if (selectionLength() > 0)
        QApplication::clipboard()->setText(selectedHex());
}

void HexView::copyAsText() const
{
    if (selectionLength() > 0)
        QApplication::clipboard()->setText(selectedText());
}

QByteArray HexView::parseHexBytes(const QString &text)
{
    QByteArray bytes;
    const QStringList words = text.simplified().split(QLatin1Char(' '), Qt::SkipEmptyParts);
    for (const QString &word : words) {
        // A word of one or two digits is a byte; a longer one, pairs of them.
        if (word.size() > 2 && word.size() % 2 != 0)
            return QByteArray();
        for (int at = 0; at < word.size(); at += 2) {
            bool ok = false;
            const int byte = word.mid(at, 2).toInt(&ok, 16);
            if (!ok)
                return QByteArray();
            bytes.append(char(byte));
        }
    }
    return bytes;
}

QByteArray HexView::textBytes(const QString &text)
{
    QByteArray bytes;
    bytes.reserve(text.size());
    for (const QChar c : text) {
        if (c == QLatin1Char('\n'))
            bytes.append('\x0d');
        else if (c == QChar(0x00A3))
            bytes.append('\x60');
        else if (c == QChar(0x00A9))
            bytes.append('\x7f');
        else
            bytes.append(c.unicode() < 0x80 ? char(c.unicode()) : '?');
    }
    return bytes;
}

bool HexView::find(const QString &what, FindKind kind, int direction)
{
    const QByteArray needle = kind == FindKind::Hex ? parseHexBytes(what) : textBytes(what);
    if (needle.isEmpty()) {
        setFindStatus(kind == FindKind::Hex ? tr("Not hex bytes: %1").arg(what) : QString());
        return false;
    }
    if (data.isEmpty()) {
        setFindStatus(tr("Not found"));
        return false;
    }
    const bool chosen = cursor >= 0;
    int at = -1;
    bool wrapped = false;
    if (direction > 0) {
        at = data.indexOf(needle, chosen ? int(qMin<qint64>(selectionStart() + 1, data.size())) : 0);
        if (at < 0 && chosen) {
            at = data.indexOf(needle);
            wrapped = true;
        }
    } else {
        const qint64 from = chosen ? selectionStart() - 1 : data.size() - 1;
        at = from >= 0 ? data.lastIndexOf(needle, int(from)) : -1;
        if (at < 0 && chosen) {
            at = data.lastIndexOf(needle);
            wrapped = true;
        }
    }
    if (at < 0) {
        setFindStatus(tr("Not found"));
        return false;
    }
    setFindStatus(wrapped ? (direction > 0 ? tr("Started over at the top") : tr("Started over at the bottom"))
                          : QString());
    setSelection(at, needle.size());
    // The match's first byte at the chosen position, the cursor after it.
    ensureVisible(at);
    return true;
}

bool HexView::findAgain(int direction)
{
    const FindKind kind = findKind->currentIndex() == 1 ? FindKind::Hex : FindKind::Text;
    return find(findField->text(), kind, direction);
}

void HexView::setFindStatus(const QString &text)
{
    findStatus->setText(text);
}

void HexView::buildFindBar()
{
    bar = new QWidget(this);
    bar->setObjectName(QStringLiteral("hexFindBar"));
    bar->hide();
    auto *layout = new QHBoxLayout(bar);
    layout->setContentsMargins(0, 0, 0, 0);
    auto *label = new QLabel(tr("Find"), bar);
    findKind = new QComboBox(bar);
    findKind->setObjectName(QStringLiteral("hexFindKind"));
    findKind->addItems({tr("Text"), tr("Hex bytes")});
    findKind->setToolTip(tr("Look for text, or for bytes typed in hex such as fe 01"));
    findField = new QLineEdit(bar);
    findField->setObjectName(QStringLiteral("hexFindField"));
    findField->setClearButtonEnabled(true);
    findField->setPlaceholderText(tr("text or bytes"));
    label->setBuddy(findField);
    findField->installEventFilter(this);
    auto *previous = new QToolButton(bar);
    previous->setText(tr("Previous"));
    previous->setToolTip(tr("Previous match (Shift+F3)"));
    auto *next = new QToolButton(bar);
    next->setText(tr("Next"));
    next->setToolTip(tr("Next match (F3)"));
    findStatus = new QLabel(bar);
    findStatus->setObjectName(QStringLiteral("hexFindStatus"));
    auto *close = new QToolButton(bar);
    close->setText(QStringLiteral("\u2715"));
    close->setAutoRaise(true);
    close->setToolTip(tr("Close the find bar (Escape)"));
    layout->addWidget(label);
    layout->addWidget(findKind);
    layout->addWidget(findField, 1);
    layout->addWidget(previous);
    layout->addWidget(next);
    layout->addWidget(findStatus, 1);
    layout->addWidget(close);
    connect(findField, &QLineEdit::returnPressed, this, [this] { findAgain(1); });
    connect(findField, &QLineEdit::textChanged, this, [this] { setFindStatus(QString()); });
    connect(previous, &QToolButton::clicked, this, [this] { findAgain(-1); });
    connect(next, &QToolButton::clicked, this, [this] { findAgain(1); });
    connect(close, &QToolButton::clicked, this, [this] {
        bar->hide();
        setFocus(Qt::OtherFocusReason);
    });
}

void HexView::showFindBar()
{
    bar->show();
    findField->setFocus(Qt::ShortcutFocusReason);
    findField->selectAll();
}

bool HexView::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == findField && (event->type() == QEvent::ShortcutOverride || event->type() == QEvent::KeyPress)) {
        auto *key = static_cast<QKeyEvent *>(event);
        const bool again = key->key() == Qt::Key_F3 && !findField->text().isEmpty();
        const bool back = (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter)
            && (key->modifiers() & Qt::ShiftModifier);
        const bool leave = key->key() == Qt::Key_Escape;
        if (event->type() == QEvent::ShortcutOverride) {
            if (again || leave) {
                event->accept();
                return true;
            }
        } else if (again || back) {
            findAgain(key->key() == Qt::Key_F3 && !(key->modifiers() & Qt::ShiftModifier) ? 1 : -1);
            return true;
        } else if (leave) {
            bar->hide();
            setFocus(Qt::OtherFocusReason);
            return true;
        }
    }
    return QAbstractScrollArea::eventFilter(watched, event);
}

QSize HexView::minimumSizeHint() const
{
    // The whole width of a line, so that the characters are never cut off.
    const int widest = qMax(textWidth, fontMetrics().horizontalAdvance(hexDumpLine(QByteArray(), 0)));
    const int width = widest + 2 * margin + 2 * frameWidth() + verticalScrollBar()->sizeHint().width();
    return QSize(width, 2 * frameWidth() + 2 * margin + 4 * lineHeight());
}

QSize HexView::sizeHint() const
{
    const QSize least = minimumSizeHint();
    return QSize(least.width(), least.height() + 16 * lineHeight());
}

void fillHexView(HexView *view, const QByteArray &data, const QByteArray &map, const QVector<SectorState> &states)
{
    view->setData(data, map, states);
}

QVector<SectorState> sectorStates(const ImageRow &row)
{
    QVector<SectorState> states(row.sectorCount());
    for (int i = 0; i < states.size(); ++i)
        states[i] = row.state(i);
    return states;
}
