#include "rescuecli.h"

#include "logrender.h"
#include "rescue/pathidentity.h"

#include <QCommandLineParser>
#include <QTextStream>

#ifndef MALVORE_VERSION
#define MALVORE_VERSION "0.1.0"
#endif

namespace {

const char programName[] = "malvore-rescue";

ParsedArguments usageError(const QString &reason)
{
    ParsedArguments parsed;
    parsed.action = ParsedArguments::UsageError;
    parsed.error = reason;
    return parsed;
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

bool isOptionLike(const QString &argument)
{
    return argument.startsWith(QLatin1Char('-')) && argument != QLatin1String("-");
}

// Position of the first argument (before "--") for which test holds, or -1.
template<typename Test>
int firstArgument(const QStringList &arguments, Test test)
{
    for (int i = 0; i < arguments.size(); ++i) {
        if (arguments.at(i) == QLatin1String("--"))
            break;
        if (test(arguments.at(i), i))
            return i;
    }
    return -1;
}

// The option name as it was written on the command line.
QString spelledOption(const QString &name)
{
    return (name.size() == 1 ? QStringLiteral("-") : QStringLiteral("--")) + name;
}

// A value option at position i whose value is missing: the last argument,
// an empty joined value, or followed by another option (a forgotten value,
// not a folder called "--quiet").
bool missingValueAt(const QStringList &arguments, int i, const QStringList &valueOptions, QString &option)
{
    const QString argument = arguments.at(i);
    for (const QString &name : valueOptions) {
        const QString spelled = QStringLiteral("--") + name;
        if (argument == spelled + QLatin1Char('=')
            || (argument == spelled && (i + 1 >= arguments.size() || arguments.at(i + 1).startsWith(QLatin1String("--"))))) {
            option = spelled;
            return true;
        }
    }
    return false;
}

// A thread count: decimal digits only, within what the tool accepts.
bool parseJobs(const QString &text, int &jobs)
{
    for (const QChar c : text)
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return false;
    bool ok = false;
    const int value = text.toInt(&ok);
    if (!ok || value < 1 || value > maximumJobs)
        return false;
    jobs = value;
    return true;
}

// The tool's options, each with the text its help shows: the parser and
// the help are made from these alone.
struct BatchCommandLine
{
    const QCommandLineOption output{QStringLiteral("output"),
                                    QStringLiteral("output root (default: the current folder)"),
                                    QStringLiteral("DIR")};
    const QCommandLineOption logFormat{QStringLiteral("log-format"),
                                       QStringLiteral("plain (default): the log rendered for a terminal; "
                                                      "html: each log line as the window receives it"),
                                       QStringLiteral("plain|html")};
    const QCommandLineOption quiet{QStringLiteral("quiet"), QStringLiteral("print nothing but errors")};
    const QCommandLineOption salvage{QStringLiteral("salvage"),
                                     QStringLiteral("read damaged sectors too: a weak sector (several differing "
                                                    "copies) as the byte-wise majority of its copies; sectors "
                                                    "with a data error, differing copies or a short length are "
                                                    "suspect, counted and listed")};
    const QCommandLineOption merge{QStringLiteral("merge"),
                                   QStringLiteral("the images are reads of one disk: merge them sector by sector "
                                                  "and rescue the result once, into the folder NAME-merged, "
                                                  "NAME being the first read's (implies --salvage)")};
    const QCommandLineOption forceMerge{QStringLiteral("force-merge"),
                                        QStringLiteral("merge the reads even when the good sectors they share "
                                                       "differ too much for reads of one disk, which --merge "
                                                       "refuses (implies --merge)")};
    const QCommandLineOption writeImage{QStringLiteral("write-image"),
                                        QStringLiteral("write the salvaged or merged disk as an Extended DSK "
                                                       "(implies --salvage)"),
                                        QStringLiteral("FILE")};
    const QCommandLineOption layout{QStringLiteral("layout"),
                                    QStringLiteral("rescue an image whose TOS layout cannot be told as this "
                                                   "layout; without it, salvage guesses from the data "
                                                   "(implies --salvage)"),
                                    QStringLiteral("a2|a4")};
    const QCommandLineOption undelete{QStringLiteral("undelete"),
                                      QStringLiteral("also rescue the files of catalog entries marked deleted, "
                                                     "into the folder deleted of the image folder "
                                                     "(implies --salvage)")};
    const QCommandLineOption report{QStringLiteral("report"),
                                    QStringLiteral("write NAME.sectors.csv and NAME.files.csv into each image "
                                                   "folder")};
    const QCommandLineOption noSync{QStringLiteral("no-sync"),
                                    QStringLiteral("do not flush the files to the disk before they get their "
                                                   "names: faster, but a power cut may leave empty or cut "
                                                   "files (for scratch work)")};
    const QCommandLineOption jobs{QStringLiteral("jobs"),
                                  QStringLiteral("convert images on N threads; default: the number of cores"),
                                  QStringLiteral("N")};
    const QCommandLineOption help{QStringList{QStringLiteral("h"), QStringLiteral("help")},
                                  QStringLiteral("show this help and exit")};
    const QCommandLineOption version{QStringLiteral("version"), QStringLiteral("show the version and exit")};

    // In the order of the help. The synopsis shows the first group with the
    // images on its first line and the modes below; help and version close
    // the list.
    const QList<QCommandLineOption> outputOptions{output, logFormat, quiet};
    const QList<QCommandLineOption> modeOptions{salvage, merge, writeImage, report, layout, undelete, forceMerge,
                                                jobs, noSync};
    const QList<QCommandLineOption> requestOptions{help, version};

    QList<QCommandLineOption> all() const { return outputOptions + modeOptions + requestOptions; }

    QStringList valueOptions() const
    {
        QStringList names;
        for (const QCommandLineOption &option : all())
            if (!option.valueName().isEmpty())
                names += option.names();
        return names;
    }

    QString helpText() const;
};

constexpr int helpWidth = 80;

// The words on lines of at most helpWidth characters, each line after the
// first starting with indent; the first continues a line already column
// characters wide.
QString wrapped(const QStringList &words, int column, const QString &indent)
{
    QString text;
    for (int i = 0; i < words.size(); ++i) {
        const QString &word = words.at(i);
        if (i > 0 && column + 1 + word.size() > helpWidth) {
            text += QLatin1Char('\n') + indent;
            column = indent.size();
        } else if (i > 0) {
            text += QLatin1Char(' ');
            ++column;
        }
        text += word;
        column += word.size();
    }
    return text;
}

// "--output DIR", "-h, --help".
QString optionSpelling(const QCommandLineOption &option)
{
    QStringList names;
    for (const QString &name : option.names())
        names << spelledOption(name);
    QString spelling = names.join(QStringLiteral(", "));
    if (!option.valueName().isEmpty())
        spelling += QLatin1Char(' ') + option.valueName();
    return spelling;
}

// "[--output DIR]": the last, long name.
QString synopsisItem(const QCommandLineOption &option)
{
    QString item = QStringLiteral("[") + spelledOption(option.names().constLast());
    if (!option.valueName().isEmpty())
        item += QLatin1Char(' ') + option.valueName();
    return item + QLatin1Char(']');
}

QString BatchCommandLine::helpText() const
{
    // Options may follow the images, so the modes can stand after them.
    const QString usage = QStringLiteral("Usage: ") + QLatin1String(programName) + QLatin1Char(' ');
    QStringList firstLine;
    for (const QCommandLineOption &option : outputOptions)
        firstLine << synopsisItem(option);
    firstLine << QStringLiteral("IMAGE...");
    QStringList modes;
    for (const QCommandLineOption &option : modeOptions)
        modes << synopsisItem(option);
    const QString synopsisIndent(usage.size(), QLatin1Char(' '));

    QString text = usage + firstLine.join(QLatin1Char(' ')) + QLatin1Char('\n') + synopsisIndent
                   + wrapped(modes, synopsisIndent.size(), synopsisIndent) + QLatin1Char('\n');
    text += QStringLiteral("Rescues the files of TOS disk images (DSK, Extended DSK or SCP flux) into\n"
                           "DIR/NAME/, as the window's Open and Save All do.\n"
                           "Options:\n");

    int spellingWidth = 0;
    for (const QCommandLineOption &option : all())
        spellingWidth = qMax(spellingWidth, optionSpelling(option).size());
    const QString descriptionIndent(2 + spellingWidth + 2, QLatin1Char(' '));
    for (const QCommandLineOption &option : all()) {
        const QString head = QStringLiteral("  ") + optionSpelling(option).leftJustified(spellingWidth + 2);
        text += head
                + wrapped(option.description().simplified().split(QLatin1Char(' ')), head.size(),
                          descriptionIndent)
                + QLatin1Char('\n');
    }
    text += QStringLiteral("Exit status: 0 every image rescued; 1 an image refused, not converted or\n"
                           "not completely written; 2 usage error.\n");
    return text;
}

} // namespace

QList<QCommandLineOption> batchOptions()
{
    return BatchCommandLine().all();
}

ParsedArguments parseBatchArguments(const QStringList &arguments)
{
    const BatchCommandLine line;
    QCommandLineParser parser;
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    parser.addOptions(line.all());

    // The first problem or request on the line decides: help and version
    // win over what follows them, an option error met first is reported.
    const QStringList valueOptions = line.valueOptions();
    QString missingOption;
    const int missingAt = firstArgument(arguments, [&](const QString &, int i) {
        return missingValueAt(arguments, i, valueOptions, missingOption);
    });
    const bool parsedCleanly = parser.parse(QStringList{QLatin1String(programName)} + arguments);
    const QStringList unknown = parser.unknownOptionNames();
    const int unknownAt = unknown.isEmpty() ? -1 : firstArgument(arguments, [&](const QString &argument, int) {
        return isOptionLike(argument) && argument.startsWith(spelledOption(unknown.first()));
    });
    const int requestAt = firstArgument(arguments, [](const QString &argument, int) {
        return argument == QLatin1String("--help") || argument == QLatin1String("-h")
               || argument == QLatin1String("--version");
    });
    int errorAt = -1;
    for (int at : {missingAt, unknownAt})
        if (at >= 0 && (errorAt < 0 || at < errorAt))
            errorAt = at;

    if (requestAt >= 0 && (errorAt < 0 || requestAt < errorAt)) {
        ParsedArguments parsed;
        parsed.action = arguments.at(requestAt) == QLatin1String("--version") ? ParsedArguments::ShowVersion
                                                                               : ParsedArguments::ShowHelp;
        return parsed;
    }
    if (errorAt >= 0 && errorAt == missingAt)
        return usageError(QStringLiteral("missing value for %1").arg(missingOption));
    if (errorAt >= 0)
        return usageError(QStringLiteral("unknown option %1").arg(spelledOption(unknown.first())));
    if (!parsedCleanly)
        return usageError(parser.errorText());

    ParsedArguments parsed;
    BatchOptions &options = parsed.options;
    options.quiet = parser.isSet(line.quiet);
    if (parser.isSet(line.output)) {
        options.outputRoot = parser.values(line.output).constLast();
        // An empty root would put the rescue into the file system's root.
        if (options.outputRoot.isEmpty())
            return usageError(QStringLiteral("missing value for --output"));
    }
    if (parser.isSet(line.logFormat)) {
        const QString value = parser.values(line.logFormat).constLast();
        if (!parseLogFormat(value, options.logFormat))
            return usageError(QStringLiteral("unknown log format \"%1\" (plain or html)").arg(value));
    }
    options.mode.salvage = parser.isSet(line.salvage);
    options.mode.forceMerge = parser.isSet(line.forceMerge);
    options.mode.merge = parser.isSet(line.merge) || options.mode.forceMerge;
    options.mode.writeReport = parser.isSet(line.report);
    options.mode.undelete = parser.isSet(line.undelete);
    if (parser.isSet(line.layout)) {
        const QString value = parser.values(line.layout).constLast().toLower();
        if (value == QLatin1String("a2"))
            options.mode.layout = DiskFormat::TosA2;
        else if (value == QLatin1String("a4"))
            options.mode.layout = DiskFormat::TosA4;
        else
            return usageError(QStringLiteral("unknown layout \"%1\" (a2 or a4)").arg(value));
    }
    options.mode.sync = !parser.isSet(line.noSync);
    if (parser.isSet(line.writeImage)) {
        options.mode.bestImage = parser.values(line.writeImage).constLast();
        if (options.mode.bestImage.isEmpty())
            return usageError(QStringLiteral("missing value for --write-image"));
    }
    if (parser.isSet(line.jobs)) {
        const QString value = parser.values(line.jobs).constLast();
        if (!parseJobs(value, options.mode.jobs))
            return usageError(QStringLiteral("invalid value for --jobs: %1").arg(value));
    }
    options.images = parser.positionalArguments();
    if (options.images.isEmpty())
        return usageError(QStringLiteral("no image given"));
    if (!options.mode.bestImage.isEmpty() && options.images.size() > 1 && !options.mode.merge)
        return usageError(QStringLiteral("--write-image takes one image, or several with --merge"));
    parsed.action = ParsedArguments::Rescue;
    return parsed;
}

QString batchUsage()
{
    return BatchCommandLine().helpText();
}

QString batchVersion()
{
    return QStringLiteral("TOS Malvore " MALVORE_VERSION);
}

BatchLog::BatchLog(LogFormat format, bool quiet, QTextStream &out, QTextStream &err)
    : format(format)
    , quiet(quiet)
    , out(out)
    , err(err)
{
}

void BatchLog::entry(const LogEntry &entry)
{
    if (quiet)
        return;
    out << (format == LogFormat::Html ? logEntryHtmlLine(entry) : logEntryPlain(entry)) << '\n';
}

void BatchLog::problem(const BatchProblem &problem)
{
    const QString &image = problem.imagePath;
    switch (problem.kind) {
    case BatchProblem::Kind::Unreadable:
        error(QStringLiteral("%1: refused: cannot read the file").arg(image));
        break;
    case BatchProblem::Kind::Refused: {
        QStringList reasons;
        for (const LogEntry &reason : problem.reasons)
            reasons << logEntryPlain(reason).simplified();
        error(QStringLiteral("%1: refused: %2").arg(image, reasons.join(QStringLiteral("; "))));
        break;
    }
    case BatchProblem::Kind::NotConverted:
        error(QStringLiteral("%1: TOS layout unknown; not converted").arg(image));
        break;
    case BatchProblem::Kind::WriteFailed:
        error(QStringLiteral("%1: cannot write %2: %3").arg(image, problem.failure.path, problem.failure.reason));
        break;
    }
}

void BatchLog::error(const QString &text)
{
    ++errorCount;
    // Keep the two streams in order on a terminal that shows both.
    out.flush();
    err << programName << ": " << escapedControls(text) << '\n';
    err.flush();
}

namespace {

// Why the best image may not be written where options put it, or an empty
// string: onto a read (the only copy of what it holds) or into the output
// tree (where a rescued file of its name would replace it). Files are told
// by identity, whatever their spelling.
QString bestImageRefusal(const BatchOptions &options)
{
    const QString &best = options.mode.bestImage;
    if (best.isEmpty())
        return QString();
    for (const QString &image : options.images)
        if (sameFile(best, image))
            return QStringLiteral("--write-image %1 is the image %2, which it would replace").arg(best, image);
    if (isInside(best, options.outputRoot))
        return QStringLiteral("--write-image %1 lies in the output folder %2, where rescued files could replace it")
            .arg(best, options.outputRoot);
    return QString();
}

} // namespace

int runBatchRescue(const BatchOptions &options, QTextStream &out, QTextStream &err)
{
    BatchLog log(options.logFormat, options.quiet, out, err);
    const QString refusal = bestImageRefusal(options);
    if (!refusal.isEmpty()) {
        log.error(refusal);
        return int(BatchStatus::UsageError);
    }
    runBatch(options.images, options.outputRoot, log, options.mode);
    out.flush();
    return log.errors() > 0 ? int(BatchStatus::SomeFailed) : int(BatchStatus::AllRescued);
}

int batchRescueMain(const QStringList &arguments, QTextStream &out, QTextStream &err)
{
    const ParsedArguments parsed = parseBatchArguments(arguments);
    switch (parsed.action) {
    case ParsedArguments::ShowHelp:
        out << batchUsage();
        out.flush();
        return int(BatchStatus::AllRescued);
    case ParsedArguments::ShowVersion:
        out << batchVersion() << '\n';
        out.flush();
        return int(BatchStatus::AllRescued);
    case ParsedArguments::UsageError:
        out.flush();
        err << programName << ": " << parsed.error << '\n' << batchUsage();
        err.flush();
        return int(BatchStatus::UsageError);
    case ParsedArguments::Rescue:
        break;
    }
    return runBatchRescue(parsed.options, out, err);
}
