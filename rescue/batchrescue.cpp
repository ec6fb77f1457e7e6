#include "batchrescue.h"

#include "session.h"

#include <QFileInfo>

namespace {

// The conversion of one image, held back until every image is loaded.
struct HeldConversion
{
    QString path;
    QVector<LogEntry> entries;
    bool converted = false;
};

class BatchRun
{
public:
    BatchRun(const QString &outputRoot, BatchListener &listener)
        : outputRoot(outputRoot)
        , listener(listener)
        , session([this](const LogEntry &entry) { this->listener.entry(entry); })
    {
    }

    int run(const QStringList &images)
    {
        for (const QString &path : images)
            loadAndConvert(path);
        session.setLog([this](const LogEntry &entry) { this->listener.entry(entry); });
        session.beginConversion(held.size());
        for (const HeldConversion &conversion : held)
            replay(conversion);
        return problems;
    }

private:
    void loadAndConvert(const QString &path)
    {
        LoadResult result = session.load(path);
        if (result.status != LoadResult::Status::Accepted) {
            report(refusal(path, result));
            return;
        }
        HeldConversion conversion;
        conversion.path = path;
        session.setLog([&conversion](const LogEntry &entry) { conversion.entries.append(entry); });
        conversion.converted = session.convert(result.row, outputRoot).converted;
        session.setLog([this](const LogEntry &entry) { this->listener.entry(entry); });
        held.append(std::move(conversion));
    }

    static BatchProblem refusal(const QString &path, const LoadResult &result)
    {
        BatchProblem problem;
        problem.imagePath = path;
        const QFileInfo file(path);
        if (result.status == LoadResult::Status::Unreadable && (!file.exists() || !file.isReadable())) {
            problem.kind = BatchProblem::Kind::Unreadable;
            return problem;
        }
        problem.kind = BatchProblem::Kind::Refused;
        problem.reasons = result.reasons;
        return problem;
    }

    void replay(const HeldConversion &conversion)
    {
        for (const LogEntry &entry : conversion.entries) {
            listener.entry(entry);
            if (entry.isWriteFailure()) {
                BatchProblem problem;
                problem.kind = BatchProblem::Kind::WriteFailed;
                problem.imagePath = conversion.path;
                problem.failure = entry.failure;
                report(problem);
            }
        }
        if (!conversion.converted) {
            BatchProblem problem;
            problem.kind = BatchProblem::Kind::NotConverted;
            problem.imagePath = conversion.path;
            report(problem);
        }
    }

    void report(const BatchProblem &problem)
    {
        ++problems;
        listener.problem(problem);
    }

    const QString outputRoot;
    BatchListener &listener;
    RescueSession session;
    QVector<HeldConversion> held;
    int problems = 0;
};

} // namespace

int runBatch(const QStringList &images, const QString &outputRoot, BatchListener &listener)
{
    return BatchRun(outputRoot, listener).run(images);
}
