#include "logrender.h"

#include <QStringList>

namespace {

constexpr int ruleWidth = 40;

bool isControl(QChar c)
{
    const ushort u = c.unicode();
    return u < 0x20 || (u >= 0x7F && u <= 0x9F);
}

QString hexCode(QChar c)
{
    return QStringLiteral("%1").arg(c.unicode(), 2, 16, QLatin1Char('0'));
}

// '<' and '&' are all that can start markup; '>' stays as it is, so fixed
// texts read the same in every rendering. Control characters become
// character references: never raw in a log a terminal may show.
QString escaped(const QString &text)
{
    QString out;
    out.reserve(text.size());
    for (const QChar c : text) {
        if (c == QLatin1Char('<'))
            out += QLatin1String("&lt;");
        else if (c == QLatin1Char('&'))
            out += QLatin1String("&amp;");
        else if (isControl(c) && c != QLatin1Char('\n'))
            out += QLatin1String("&#x") + hexCode(c) + QLatin1Char(';');
        else
            out += c;
    }
    return out;
}

class PlainLines
{
public:
    void text(const QString &text)
    {
        current += escapedControls(text);
        afterRule = false;
    }

    void newLine()
    {
        lines << current;
        current.clear();
        afterRule = false;
    }

    void rule()
    {
        if (!current.isEmpty())
            lines << current;
        lines << QString(ruleWidth, QLatin1Char('-'));
        current.clear();
        afterRule = true;
    }

    QString finish()
    {
        if (!(afterRule && current.isEmpty()))
            lines << current;
        return lines.join(QLatin1Char('\n'));
    }

private:
    QStringList lines;
    QString current;
    bool afterRule = false; // a rule closes its own line
};

} // namespace

QString escapedControls(const QString &text)
{
    QString out;
    out.reserve(text.size());
    for (const QChar c : text) {
        if (isControl(c))
            out += QLatin1String("\\x") + hexCode(c);
        else
            out += c;
    }
    return out;
}

QString logEntryHtml(const LogEntry &entry)
{
    QString html;
    for (const LogEntry::Part &part : entry.parts) {
        switch (part.type) {
        case LogEntry::Part::Text:
            html += escaped(part.text);
            break;
        case LogEntry::Part::Strong:
            html += QLatin1String("<b>") + escaped(part.text) + QLatin1String("</b>");
            break;
        case LogEntry::Part::Emphasis:
            html += QLatin1String("<i>") + escaped(part.text) + QLatin1String("</i>");
            break;
        case LogEntry::Part::StrongEmphasis:
            html += QLatin1String("<b><i>") + escaped(part.text) + QLatin1String("</i></b>");
            break;
        case LogEntry::Part::Break:
            html += QLatin1String("<br>");
            break;
        case LogEntry::Part::Rule:
            html += QLatin1String("<hr>");
            break;
        }
    }
    return html;
}

QString logEntryHtmlLine(const LogEntry &entry)
{
    return logEntryHtml(entry).replace(QLatin1Char('\n'), QLatin1String("\\n"));
}

QString logEntryPlain(const LogEntry &entry)
{
    PlainLines lines;
    for (const LogEntry::Part &part : entry.parts) {
        switch (part.type) {
        case LogEntry::Part::Break:
            lines.newLine();
            break;
        case LogEntry::Part::Rule:
            lines.rule();
            break;
        default:
            lines.text(part.text);
            break;
        }
    }
    return lines.finish();
}
