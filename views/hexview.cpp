#include "hexview.h"

#include "palette.h"

#include "disk/geometry.h"

#include <QKeyEvent>
#include <QPainter>
#include <QScrollBar>
#include <QStringList>

#include <limits>

const QColor goodSectorColour = sectorLook(SectorState::Good).hexTint;
const QColor badSectorColour = sectorLook(SectorState::Missing).hexTint;

namespace {
using geometry::sectorSize;
constexpr int bytesPerLine = 16;
const QChar separator(0x00FE); // the font draws it as a thin vertical bar

const char hexDigits[] = "0123456789abcdef";

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
    measure();
}

void HexView::setData(const QByteArray &data, const QByteArray &map, const QVector<SectorState> &states)
{
    this->data = data;
    this->map = map;
    this->states = states;
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
    painter.setPen(palette().color(QPalette::Text));
    const QFontMetrics metrics = fontMetrics();
    const int height = lineHeight();
    const int top = verticalScrollBar()->value() - margin;
    const int left = margin - horizontalScrollBar()->value();
    const QRect exposed = event->rect();
    const int first = qMax(0, (top + exposed.top()) / height);
    const int last = qMin(lineCount(), (top + exposed.bottom()) / height + 1);
    for (int line = first; line < last; ++line) {
        if (!isDumpLine(line))
            continue;
        const QString text = lineText(line);
        const int y = line * height - top;
        painter.fillRect(QRect(left, y, metrics.horizontalAdvance(text), height), lineBackground(line));
        painter.drawText(left, y + metrics.ascent(), text);
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

void HexView::keyPressEvent(QKeyEvent *event)
{
    if (event == QKeySequence::MoveToStartOfDocument || event->key() == Qt::Key_Home)
        verticalScrollBar()->triggerAction(QAbstractSlider::SliderToMinimum);
    else if (event == QKeySequence::MoveToEndOfDocument || event->key() == Qt::Key_End)
        verticalScrollBar()->triggerAction(QAbstractSlider::SliderToMaximum);
    else
        QAbstractScrollArea::keyPressEvent(event);
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
