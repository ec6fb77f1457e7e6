#include "rescuecli.h"

#include "logrender.h"

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

const QStringList valueOptions = {QStringLiteral("output"), QStringLiteral("log-format"),
                                  QStringLiteral("write-image")};

// A value option at position i whose value is missing: the last argument,
// an empty joined value, or followed by another option (a forgotten value,
// not a folder called "--quiet").
bool missingValueAt(const QStringList &arguments, int i, QString &option)
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

} // namespace

ParsedArguments parseBatchArguments(const QStringList &arguments)
{
    QCommandLineParser parser;
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const QCommandLineOption help(QStringList{QStringLiteral("h"), QStringLiteral("help")});
    const QCommandLineOption version(QStringLiteral("version"));
    const QCommandLineOption quiet(QStringLiteral("quiet"));
    const QCommandLineOption output(QStringLiteral("output"), QString(), QStringLiteral("DIR"));
    const QCommandLineOption logFormat(QStringLiteral("log-format"), QString(), QStringLiteral("FORMAT"));
    const QCommandLineOption salvage(QStringLiteral("salvage"));
    const QCommandLineOption merge(QStringLiteral("merge"));
    const QCommandLineOption report(QStringLiteral("report"));
    const QCommandLineOption writeImage(QStringLiteral("write-image"), QString(), QStringLiteral("FILE"));
    parser.addOptions({help, version, quiet, output, logFormat, salvage, merge, report, writeImage});

    // The first problem or request on the line decides: help and version
    // win over what follows them, an option error met first is reported.
    QString missingOption;
    const int missingAt = firstArgument(arguments, [&](const QString &, int i) {
        return missingValueAt(arguments, i, missingOption);
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
    options.quiet = parser.isSet(quiet);
    if (parser.isSet(output)) {
        options.outputRoot = parser.values(output).constLast();
        // An empty root would put the rescue into the file system's root.
        if (options.outputRoot.isEmpty())
            return usageError(QStringLiteral("missing value for --output"));
    }
    if (parser.isSet(logFormat)) {
        const QString value = parser.values(logFormat).constLast();
        if (!parseLogFormat(value, options.logFormat))
            return usageError(QStringLiteral("unknown log format \"%1\" (plain or html)").arg(value));
    }
    options.mode.salvage = parser.isSet(salvage);
    options.mode.merge = parser.isSet(merge);
    options.mode.writeReport = parser.isSet(report);
    if (parser.isSet(writeImage)) {
        options.mode.bestImage = parser.values(writeImage).constLast();
        if (options.mode.bestImage.isEmpty())
            return usageError(QStringLiteral("missing value for --write-image"));
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
    return QStringLiteral(
        "Usage: malvore-rescue [--output DIR] [--log-format plain|html] [--quiet] IMAGE...\n"
        "Rescues the files of TOS disk images (DSK or Extended DSK) into DIR/NAME/,\n"
        "as the window's Open and Save All do.\n"
        "  --output DIR          output root (default: the current folder)\n"
        "  --log-format FORMAT   plain (default): the log rendered for a terminal;\n"
        "                        html: each log line as the window receives it\n"
        "  --quiet               print nothing but errors\n"
        "  --salvage             read damaged sectors too: a weak sector (several\n"
        "                        differing copies) as the byte-wise majority of its\n"
        "                        copies; sectors with a data error, differing copies\n"
        "                        or a short length are suspect, counted and listed\n"
        "  --merge               the images are reads of one disk: merge them sector\n"
        "                        by sector and rescue the result once, into the\n"
        "                        folder named after the first (implies --salvage)\n"
        "  --write-image FILE    write the salvaged or merged disk as an Extended DSK\n"
        "                        (implies --salvage)\n"
        "  --report              write NAME.sectors.csv and NAME.files.csv into each\n"
        "                        image folder\n"
        "  --help                show this help and exit\n"
        "  --version             show the version and exit\n"
        "Exit status: 0 every image rescued; 1 an image refused, not converted or\n"
        "not completely written; 2 usage error.\n");
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

int runBatchRescue(const BatchOptions &options, QTextStream &out, QTextStream &err)
{
    BatchLog log(options.logFormat, options.quiet, out, err);
    runBatch(options.images, options.outputRoot, log, options.mode);
    out.flush();
    return log.errors() > 0 ? BatchSomeFailed : BatchAllRescued;
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
