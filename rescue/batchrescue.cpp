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
    BatchRun(const QString &outputRoot, BatchListener &listener, const BatchMode &mode)
        : outputRoot(outputRoot)
        , listener(listener)
        , mode(mode)
        , session([this](const LogEntry &entry) { this->listener.entry(entry); })
    {
        RescueOptions options;
        options.salvage = mode.salvage || mode.merge || !mode.bestImage.isEmpty();
        options.writeReport = mode.writeReport;
        session.setOptions(options);
    }

    int run(const QStringList &images)
    {
        if (mode.merge) {
            LoadResult merged = session.merge(images);
            for (const auto &read : merged.refusedReads)
                report(refusal(read.first, LoadResult{LoadResult::Status::Unreadable, {}, read.second, {}, {}}));
            if (merged.status != LoadResult::Status::Unreadable || merged.refusedReads.isEmpty())
                convertLoaded(images.value(0), merged);
        } else {
            for (const QString &path : images)
                convertLoaded(path, session.load(path));
        }
        session.setLog([this](const LogEntry &entry) { this->listener.entry(entry); });
        session.beginConversion(held.size());
        for (const HeldConversion &conversion : held)
            replay(conversion);
        return problems;
    }

private:
    void convertLoaded(const QString &path, const LoadResult &result)
    {
        if (result.status != LoadResult::Status::Accepted) {
            report(refusal(path, result));
            return;
        }
        if (!mode.bestImage.isEmpty()) {
            BatchProblem problem;
            problem.kind = BatchProblem::Kind::WriteFailed;
            problem.imagePath = path;
            if (!session.writeBestImage(result.physical, mode.bestImage, &problem.failure))
                report(problem);
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
    const BatchMode mode;
    RescueSession session;
    QVector<HeldConversion> held;
    int problems = 0;
};

} // namespace

int runBatch(const QStringList &images, const QString &outputRoot, BatchListener &listener, const BatchMode &mode)
{
    return BatchRun(outputRoot, listener, mode).run(images);
}
