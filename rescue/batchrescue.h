#pragma once

#include <QString>
#include <QStringList>

class QTextStream;

// The headless rescue: what the window does on Open followed by Save All,
// for images named on a command line, with the log on a text stream.

enum class LogFormat { Plain, Html };

struct BatchOptions
{
    QString outputRoot = QStringLiteral(".");
    LogFormat logFormat = LogFormat::Plain;
    bool quiet = false;
    QStringList images;
    // Image data held between loading and converting; images past this
    // budget are read again when their turn to be converted comes, so a
    // batch of any length needs memory for a bounded number of images.
    qint64 heldBytesLimit = 256 * 1024 * 1024;
};

struct ParsedArguments
{
    enum Action { Rescue, ShowHelp, ShowVersion, UsageError };
    Action action = UsageError;
    BatchOptions options;
    QString error; // one line, for UsageError
};

// arguments: the command line without the program name.
ParsedArguments parseBatchArguments(const QStringList &arguments);

QString batchUsage();
QString batchVersion();

// One log append rendered for a terminal: "<br>" starts a new line, "<hr>"
// is a line of 40 '-', other tags are dropped and &lt; &gt; &amp; &quot;
// are decoded. The result has no trailing newline; it may hold several lines.
QString renderPlainLog(const QString &markup);
// One log append as the window received it, on one line: a newline becomes
// the two characters \n.
QString renderHtmlLog(const QString &markup);

// Where the batch writes: log appends to out (unless quiet), errors to err.
class BatchLog
{
public:
    BatchLog(LogFormat format, bool quiet, QTextStream &out, QTextStream &err);

    void append(const QString &markup);
    void error(const QString &text);
    int errors() const { return errorCount; }

private:
    LogFormat format;
    bool quiet;
    QTextStream &out;
    QTextStream &err;
    int errorCount = 0;
};

// Exit statuses of the batch tool.
enum BatchStatus { BatchAllRescued = 0, BatchSomeFailed = 1, BatchUsageError = 2 };

// Rescues options.images into options.outputRoot; the result is a BatchStatus.
int runBatchRescue(const BatchOptions &options, QTextStream &out, QTextStream &err);

// The whole tool: parses arguments, prints help, version or usage errors,
// and runs the rescue. The result is the process exit status.
int batchRescueMain(const QStringList &arguments, QTextStream &out, QTextStream &err);
