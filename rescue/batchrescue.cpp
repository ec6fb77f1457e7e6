#include "batchrescue.h"

#include "conversion.h"
#include "disk/libdsk.h"
#include "imagelist/imagerow.h"
#include "tap/libtap.h"

#include <QFileInfo>
#include <QTextStream>
#include <QVector>

#ifndef MALVORE_VERSION
#define MALVORE_VERSION "0.1.0"
#endif

namespace {

const char programName[] = "malvore-rescue";
constexpr int ruleWidth = 40;

// ---- command line -------------------------------------------------------

ParsedArguments usageError(const QString &reason)
{
    ParsedArguments parsed;
    parsed.action = ParsedArguments::UsageError;
    parsed.error = reason;
    return parsed;
}

// Splits "--name=value" into name and value; a plain "--name" takes the next
// argument as its value.
bool optionValue(const QStringList &arguments, int &index, const QString &name, QString &value,
                 bool &missing)
{
    const QString argument = arguments.at(index);
    missing = false;
    if (argument.startsWith(name + QLatin1Char('='))) {
        value = argument.mid(name.size() + 1);
        missing = value.isEmpty();
        return true;
    }
    if (argument != name)
        return false;
    // A following option is a forgotten value, not a folder called "--quiet".
    if (index + 1 >= arguments.size() || arguments.at(index + 1).startsWith(QLatin1String("--"))) {
        missing = true;
        return true;
    }
    value = arguments.at(++index);
    return true;
}

bool parseLogFormat(const QString &text, LogFormat &format)
{
    if (text == QLatin1String("plain"))
        format = LogFormat::Plain;
    else if (text == QLatin1String("html"))
        format = LogFormat::Html;
    else
        return false;
    return true;
}

// ---- plain rendering ----------------------------------------------------

// "br", "hr", ... for an opening tag's text between '<' and '>', empty for a
// closing tag.
QString openingTagName(const QString &tag)
{
    if (tag.startsWith(QLatin1Char('/')))
        return QString();
    QString name;
    for (const QChar c : tag) {
        if (!c.isLetterOrNumber())
            break;
        name += c.toLower();
    }
    return name;
}

struct Entity
{
    const char *text;
    char decoded;
};
const Entity entities[] = {{"&lt;", '<'}, {"&gt;", '>'}, {"&amp;", '&'}, {"&quot;", '"'}};

// Length of the entity at pos (0 if none) and its decoded character.
int entityAt(const QString &text, int pos, QChar &decoded)
{
    for (const Entity &entity : entities) {
        const QLatin1String name(entity.text);
        if (text.midRef(pos, name.size()) == name) {
            decoded = QLatin1Char(entity.decoded);
            return name.size();
        }
    }
    return 0;
}

// Names on a disk can hold anything; control characters must not reach a
// terminal, where they could move the cursor or change its settings.
QChar printable(QChar c)
{
    const ushort u = c.unicode();
    if (u == '\t')
        return c;
    if (u < 0x20 || (u >= 0x7F && u <= 0x9F))
        return QLatin1Char('?');
    return c;
}

class PlainRenderer
{
public:
    QString render(const QString &markup)
    {
        int pos = 0;
        while (pos < markup.size())
            pos = step(markup, pos);
        if (!(afterRule && current.isEmpty()))
            lines << current;
        return lines.join(QLatin1Char('\n'));
    }

private:
    int step(const QString &markup, int pos)
    {
        const QChar c = markup.at(pos);
        if (c == QLatin1Char('<')) {
            const int close = markup.indexOf(QLatin1Char('>'), pos + 1);
            if (close > pos) {
                tag(openingTagName(markup.mid(pos + 1, close - pos - 1)));
                return close + 1;
            }
        } else if (c == QLatin1Char('&')) {
            QChar decoded;
            if (const int length = entityAt(markup, pos, decoded)) {
                text(decoded);
                return pos + length;
            }
        } else if (c == QLatin1Char('\n')) {
            newLine();
            return pos + 1;
        }
        text(printable(c));
        return pos + 1;
    }

    void tag(const QString &name)
    {
        if (name == QLatin1String("br")) {
            newLine();
        } else if (name == QLatin1String("hr")) {
            if (!current.isEmpty())
                lines << current;
            lines << QString(ruleWidth, QLatin1Char('-'));
            current.clear();
            afterRule = true;
        }
    }

    void newLine()
    {
        lines << current;
        current.clear();
        afterRule = false;
    }

    void text(QChar c)
    {
        current += c;
        afterRule = false;
    }

    QStringList lines;
    QString current;
    bool afterRule = false; // a rule closes its own line
};

// ---- the rescue ---------------------------------------------------------

struct PendingImage
{
    QString path;
    QString name;
    int tracks = 0;
    int format = 0;
    bool held = false; // false: read again before converting
    QByteArray data;
    QByteArray map;
};

class BatchRun
{
public:
    BatchRun(const BatchOptions &options, BatchLog &log)
        : options(options)
        , log(log)
    {
        QObject::connect(&dsk, &libdsk::message, [this](const QString &line) {
            if (readerMuted)
                return;
            this->log.append(line);
            readerLines << line;
        });
    }

    int run()
    {
        for (const QString &path : options.images)
            load(path);
        dsk.reset();
        log.append(QStringLiteral("<hr>%1 image(s) selelcted to conversion").arg(pending.size()));
        for (PendingImage &image : pending)
            convert(image);
        return log.errors() > 0 ? BatchSomeFailed : BatchAllRescued;
    }

private:
    void load(const QString &path)
    {
        readerLines.clear();
        LoadOutcome outcome = loadImage(dsk, path);
        if (!outcome.refusal.isEmpty()) {
            log.append(outcome.refusal);
            log.error(QStringLiteral("%1: refused: %2").arg(path, outcome.refusal));
            return;
        }
        if (!outcome.accepted) {
            log.error(QStringLiteral("%1: refused: %2").arg(path, loadFailureReason(path)));
            return;
        }
        PendingImage image;
        image.path = path;
        image.name = outcome.row.name;
        image.tracks = outcome.row.tracks;
        image.format = outcome.row.format;
        const qint64 size = outcome.row.data.size() + outcome.row.map.size();
        image.held = heldBytes + size <= options.heldBytesLimit;
        if (image.held) {
            heldBytes += size;
            image.data = std::move(outcome.row.data);
            image.map = std::move(outcome.row.map);
        }
        pending.append(std::move(image));
    }

    QString loadFailureReason(const QString &path) const
    {
        const QFileInfo file(path);
        if (!file.isFile() || !file.isReadable())
            return QStringLiteral("cannot read the file");
        // The reader's own lines after its "Opening file" line say why.
        QStringList reasons;
        for (int i = 1; i < readerLines.size(); ++i)
            reasons << renderPlainLog(readerLines.at(i)).simplified();
        return reasons.join(QStringLiteral("; "));
    }

    // An image past the memory budget is read again, silently: its lines are
    // already in the log.
    bool reload(PendingImage &image)
    {
        readerMuted = true;
        LoadOutcome outcome = loadImage(dsk, image.path);
        readerMuted = false;
        dsk.reset();
        if (!outcome.accepted || outcome.row.format != image.format || outcome.row.tracks != image.tracks) {
            log.error(QStringLiteral("%1: changed while the batch ran; not converted").arg(image.path));
            return false;
        }
        image.data = std::move(outcome.row.data);
        image.map = std::move(outcome.row.map);
        return true;
    }

    void convert(PendingImage &image)
    {
        log.append(QStringLiteral("<br>Image <b>") + image.name + QStringLiteral("</b> :"));
        if (!image.held && !reload(image))
            return;
        ConversionJob job;
        job.imageName = image.name;
        job.tracks = image.tracks;
        job.tosText = formatText(image.format);
        job.data = std::move(image.data);
        job.map = std::move(image.map);
        job.outputRoot = options.outputRoot;
        const QString path = image.path;
        const ConversionReport report = convertImage(job, tap, [this, &path](const QString &line) {
            log.append(line);
            // The writer's failure line names the output that was lost.
            if (line.startsWith(QLatin1String("Cannot write ")))
                log.error(QStringLiteral("%1: cannot write %2").arg(path, line.mid(13)));
        });
        if (!report.converted)
            log.error(QStringLiteral("%1: TOS layout unknown; not converted").arg(path));
    }

    const BatchOptions &options;
    BatchLog &log;
    libdsk dsk;
    libtap tap;
    bool readerMuted = false;
    QStringList readerLines; // the reader's lines of the image being loaded
    QVector<PendingImage> pending;
    qint64 heldBytes = 0;
};

} // namespace

ParsedArguments parseBatchArguments(const QStringList &arguments)
{
    ParsedArguments parsed;
    BatchOptions &options = parsed.options;
    bool optionsEnded = false;
    for (int i = 0; i < arguments.size(); ++i) {
        const QString argument = arguments.at(i);
        if (optionsEnded || argument == QLatin1String("-") || !argument.startsWith(QLatin1Char('-'))) {
            options.images << argument;
            continue;
        }
        QString value;
        bool missing = false;
        if (argument == QLatin1String("--")) {
            optionsEnded = true;
        } else if (argument == QLatin1String("--help") || argument == QLatin1String("-h")) {
            parsed.action = ParsedArguments::ShowHelp;
            return parsed;
        } else if (argument == QLatin1String("--version")) {
            parsed.action = ParsedArguments::ShowVersion;
            return parsed;
        } else if (argument == QLatin1String("--quiet")) {
            options.quiet = true;
        } else if (optionValue(arguments, i, QStringLiteral("--output"), value, missing)) {
            if (missing)
                return usageError(QStringLiteral("missing value for --output"));
            options.outputRoot = value;
        } else if (optionValue(arguments, i, QStringLiteral("--log-format"), value, missing)) {
            if (missing)
                return usageError(QStringLiteral("missing value for --log-format"));
            if (!parseLogFormat(value, options.logFormat))
                return usageError(QStringLiteral("unknown log format \"%1\" (plain or html)").arg(value));
        } else {
            return usageError(QStringLiteral("unknown option %1").arg(argument));
        }
    }
    if (options.images.isEmpty())
        return usageError(QStringLiteral("no image given"));
    parsed.action = ParsedArguments::Rescue;
    return parsed;
}

QString batchUsage()
{
    return QStringLiteral(
        "Usage: malvore-rescue [--output DIR] [--log-format plain|html] [--quiet] IMAGE...\n"
        "Rescues the files of TOS disk images (DSK or Extended DSK) into DIR/NAME/,\n"
        "as the window's Open and Save All do.\n"
        "  --output DIR          output root (default: the current folder)\n"
        "  --log-format FORMAT   plain (default): the log rendered for a terminal;\n"
        "                        html: each log line as the window receives it\n"
        "  --quiet               print nothing but errors\n"
        "  --help                show this help and exit\n"
        "  --version             show the version and exit\n"
        "Exit status: 0 every image rescued; 1 an image refused, not converted or\n"
        "not completely written; 2 usage error.\n");
}

QString batchVersion()
{
    return QStringLiteral("TOS Malvore " MALVORE_VERSION);
}

QString renderPlainLog(const QString &markup)
{
    return PlainRenderer().render(markup);
}

QString renderHtmlLog(const QString &markup)
{
    QString line = markup;
    line.replace(QLatin1Char('\n'), QLatin1String("\\n"));
    return line;
}

BatchLog::BatchLog(LogFormat format, bool quiet, QTextStream &out, QTextStream &err)
    : format(format)
    , quiet(quiet)
    , out(out)
    , err(err)
{
}

void BatchLog::append(const QString &markup)
{
    if (quiet)
        return;
    out << (format == LogFormat::Html ? renderHtmlLog(markup) : renderPlainLog(markup)) << '\n';
}

void BatchLog::error(const QString &text)
{
    ++errorCount;
    // Keep the two streams in order on a terminal that shows both.
    out.flush();
    err << programName << ": " << text << '\n';
    err.flush();
}

int runBatchRescue(const BatchOptions &options, QTextStream &out, QTextStream &err)
{
    BatchLog log(options.logFormat, options.quiet, out, err);
    const int status = BatchRun(options, log).run();
    out.flush();
    return status;
}

int batchRescueMain(const QStringList &arguments, QTextStream &out, QTextStream &err)
{
    const ParsedArguments parsed = parseBatchArguments(arguments);
    switch (parsed.action) {
    case ParsedArguments::ShowHelp:
        out << batchUsage();
        out.flush();
        return BatchAllRescued;
    case ParsedArguments::ShowVersion:
        out << batchVersion() << '\n';
        out.flush();
        return BatchAllRescued;
    case ParsedArguments::UsageError:
        out.flush();
        err << programName << ": " << parsed.error << '\n' << batchUsage();
        err.flush();
        return BatchUsageError;
    case ParsedArguments::Rescue:
        break;
    }
    return runBatchRescue(parsed.options, out, err);
}
