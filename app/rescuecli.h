#pragma once

#include "rescue/batchrescue.h"

#include <QCommandLineOption>
#include <QList>
#include <QMetaType>
#include <QString>
#include <QStringList>

class QTextStream;

// malvore-rescue's front end: its command line, its usage text and how its
// log and problems are printed. The rescue itself is the core's runBatch.

enum class LogFormat { Plain, Html };
Q_DECLARE_METATYPE(LogFormat)

struct BatchOptions
{
    QString outputRoot = QStringLiteral(".");
    LogFormat logFormat = LogFormat::Plain;
    bool quiet = false;
    QStringList images;
    BatchMode mode;
};

struct ParsedArguments
{
    enum Action { Rescue, ShowHelp, ShowVersion, UsageError };
    Action action = UsageError;
    BatchOptions options;
    QString error; // one line, for UsageError
};

// --jobs takes from 1 to this many threads.
constexpr int maximumJobs = 256;

// arguments: the command line without the program name.
ParsedArguments parseBatchArguments(const QStringList &arguments);

// Every option parseBatchArguments accepts, with its description, in the
// order the usage lists them.
QList<QCommandLineOption> batchOptions();
// The synopsis, every option with its description, the exit statuses.
QString batchUsage();
QString batchVersion();

// Where the batch writes: log entries to out (unless quiet), problems and
// errors to err.
class BatchLog : public BatchListener
{
public:
    BatchLog(LogFormat format, bool quiet, QTextStream &out, QTextStream &err);

    void entry(const LogEntry &entry) override;
    void problem(const BatchProblem &problem) override;
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
enum class BatchStatus { AllRescued = 0, SomeFailed = 1, UsageError = 2 };

// Rescues options.images into options.outputRoot; the result is a BatchStatus.
int runBatchRescue(const BatchOptions &options, QTextStream &out, QTextStream &err);

// The whole tool: parses arguments, prints help, version or usage errors,
// and runs the rescue. The result is the process exit status.
int batchRescueMain(const QStringList &arguments, QTextStream &out, QTextStream &err);
