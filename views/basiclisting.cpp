#include "basiclisting.h"

namespace {

constexpr int firstToken = 0xA3;
constexpr quint8 numberMarker = 0x0E;
constexpr int hiddenNumberSize = 5;
constexpr int lastLineNumber = 0x3FFF;

// How a keyword is spaced when listed: a space before it unless one was
// just printed, a space after it, both or none.
enum Spacing { Before = 1, After = 2, Both = Before | After, None = 0 };

struct Keyword
{
    const char *text;
    int spacing;
};

// Tokens 0xA3..0xFF in order.
const Keyword keywords[] = {
    {"SPECTRUM", Both}, {"PLAY", Both},
    {"RND", None}, {"INKEY$", None}, {"PI", None},
    {"FN", After}, {"POINT", After}, {"SCREEN$", After}, {"ATTR", After}, {"AT", After}, {"TAB", After},
    {"VAL$", After}, {"CODE", After}, {"VAL", After}, {"LEN", After}, {"SIN", After}, {"COS", After},
    {"TAN", After}, {"ASN", After}, {"ACS", After}, {"ATN", After}, {"LN", After}, {"EXP", After},
    {"INT", After}, {"SQR", After}, {"SGN", After}, {"ABS", After}, {"PEEK", After}, {"IN", After},
    {"USR", After}, {"STR$", After}, {"CHR$", After}, {"NOT", After}, {"BIN", After},
    {"OR", Both}, {"AND", Both},
    {"<=", None}, {">=", None}, {"<>", None},
    {"LINE", Both}, {"THEN", Both}, {"TO", Both}, {"STEP", Both}, {"DEF FN", Both}, {"CAT", Both},
    {"FORMAT", Both}, {"MOVE", Both}, {"ERASE", Both}, {"OPEN #", Before}, {"CLOSE #", Before},
    {"MERGE", Both}, {"VERIFY", Both}, {"BEEP", Both}, {"CIRCLE", Both}, {"INK", Both}, {"PAPER", Both},
    {"FLASH", Both}, {"BRIGHT", Both}, {"INVERSE", Both}, {"OVER", Both}, {"OUT", Both}, {"LPRINT", Both},
    {"LLIST", Both}, {"STOP", Both}, {"READ", Both}, {"DATA", Both}, {"RESTORE", Both}, {"NEW", Both},
    {"BORDER", Both}, {"CONTINUE", Both}, {"DIM", Both}, {"REM", Both}, {"FOR", Both}, {"GO TO", Both},
    {"GO SUB", Both}, {"INPUT", Both}, {"LOAD", Both}, {"LIST", Both}, {"LET", Both}, {"PAUSE", Both},
    {"NEXT", Both}, {"POKE", Both}, {"PRINT", Both}, {"PLOT", Both}, {"RUN", Both}, {"SAVE", Both},
    {"RANDOMIZE", Both}, {"IF", Both}, {"CLS", Both}, {"DRAW", Both}, {"CLEAR", Both}, {"RETURN", Both},
    {"COPY", Both},
};
static_assert(sizeof(keywords) / sizeof(keywords[0]) == 0x100 - firstToken, "one keyword per token");

// Operands that follow a control code: INK..OVER take one, AT and TAB two.
int operandCount(quint8 code)
{
    if (code >= 0x10 && code <= 0x15)
        return 1;
    if (code == 0x16 || code == 0x17)
        return 2;
    return 0;
}

// One column of a block graphic: its top and bottom quarters.
char quarterColumn(bool top, bool bottom)
{
    return top ? (bottom ? ':' : '\'') : (bottom ? '.' : ' ');
}

// Block graphics 0x80..0x8F: bit 0 top right, 1 top left, 2 bottom right,
// 3 bottom left.
QString blockGraphic(quint8 code)
{
    const char left = quarterColumn(code & 2, code & 8);
    const char right = quarterColumn(code & 1, code & 4);
    return QStringLiteral("\\") + QLatin1Char(left) + QLatin1Char(right);
}

void appendKeyword(QString &text, quint8 token)
{
    const Keyword &keyword = keywords[token - firstToken];
    if ((keyword.spacing & Before) && !text.endsWith(QLatin1Char(' ')))
        text += QLatin1Char(' ');
    text += QLatin1String(keyword.text);
    if (keyword.spacing & After)
        text += QLatin1Char(' ');
}

// The text of the bytes [from, end) of a line.
QString lineText(const QByteArray &program, int from, int end)
{
    QString text;
    for (int i = from; i < end; ++i) {
        const quint8 byte = quint8(program.at(i));
        if (byte >= firstToken) {
            appendKeyword(text, byte);
        } else if (byte >= 0x90) {
            text += QStringLiteral("\\") + QLatin1Char(char('a' + byte - 0x90));
        } else if (byte >= 0x80) {
            text += blockGraphic(byte);
        } else if (byte == 0x7F) {
            text += QStringLiteral("\\*");
        } else if (byte >= 0x20) {
            text += QLatin1Char(char(byte));
        } else if (byte == numberMarker) {
            i += hiddenNumberSize;
        } else {
            i += operandCount(byte);
        }
    }
    return text;
}

} // namespace

QString basicKeyword(quint8 token)
{
    return token >= firstToken ? QString::fromLatin1(keywords[token - firstToken].text) : QString();
}

QVector<BasicLine> basicLines(const QByteArray &program)
{
    QVector<BasicLine> lines;
    int pos = 0;
    const int size = program.size();
    // A line: its number (high byte first), its length, its bytes.
    while (pos + 1 < size) {
        const int number = (quint8(program.at(pos)) << 8) | quint8(program.at(pos + 1));
        if (number > lastLineNumber)
            break;
        BasicLine line;
        line.number = number;
        line.offset = pos;
        const int length = pos + 3 < size ? quint8(program.at(pos + 2)) | (quint8(program.at(pos + 3)) << 8) : 0;
        const qint64 end = qint64(pos) + 4 + length;
        line.cut = end > size;
        const int textEnd = int(qMin<qint64>(end, size));
        line.size = textEnd - pos;
        line.text = lineText(program, qMin(pos + 4, size), textEnd);
        lines.append(line);
        if (line.cut)
            break;
        pos = textEnd;
    }
    return lines;
}

QString basicLineText(const BasicLine &line)
{
    return QStringLiteral("%1").arg(line.number, 5) + line.text;
}

QString basicListing(const QVector<BasicLine> &lines)
{
    QString listing;
    for (const BasicLine &line : lines)
        listing += basicLineText(line) + QLatin1Char('\n');
    return listing;
}

QByteArray basicProgram(const QByteArray &header, const QByteArray &body)
{
    // Header: type, autostart line, length, the variables' offset.
    constexpr int variablesAt = 5;
    if (header.size() < variablesAt + 2)
        return body;
    const int variables = quint8(header.at(variablesAt)) | (quint8(header.at(variablesAt + 1)) << 8);
    return body.left(variables);
}
