#include "hexview.h"

#include <QScrollBar>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextEdit>

const QColor goodSectorColour(64, 255, 64, 16);
const QColor badSectorColour(255, 128, 128, 32);

namespace {
constexpr int sectorSize = 256;
constexpr int bytesPerLine = 16;
const QChar separator(0x00FE); // the font draws it as a thin vertical bar

const char hexDigits[] = "0123456789abcdef";

void appendHexByte(QString &line, quint8 byte)
{
    line += QLatin1Char(hexDigits[byte >> 4]);
    line += QLatin1Char(hexDigits[byte & 0xF]);
}

QString sectorText(const QByteArray &data, int sector)
{
    QString text;
    text.reserve(16 * 80);
    for (int l = 0; l < 16; ++l) {
        if (l > 0)
            text += QLatin1Char('\n');
        text += hexDumpLine(data, sector * sectorSize + l * bytesPerLine);
    }
    text += QLatin1String("\n\n");
    return text;
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

void fillHexView(QTextEdit *view, const QByteArray &data, const QByteArray &map)
{
    view->clear();
    // The same paragraphs and tints as one append per sector, built in one
    // edit block through a cursor. Inserting through the cursor also keeps
    // every sector plain text, whatever its bytes look like.
    QTextDocument *document = view->document();
    QTextCursor cursor(document);
    cursor.beginEditBlock();
    // Emptying the document inside the block makes the block one change of
    // the whole document, which the text view lays out lazily, page by page,
    // instead of all 16 lines of every sector before returning.
    document->clear();
    QTextCharFormat format;
    // One block per map entry; bytes the data lacks read as zero.
    for (int i = 0; i < map.size(); ++i) {
        format.setBackground(map.at(i) != 0 ? goodSectorColour : badSectorColour);
        if (i > 0)
            cursor.insertBlock();
        cursor.insertText(sectorText(data, i), format);
    }
    cursor.endEditBlock();
    view->verticalScrollBar()->setValue(0);
}
