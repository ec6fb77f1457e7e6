#include "batchrescue.h"

#include "pathidentity.h"
#include "session.h"

#include <unistd.h>

namespace {

// The images of a batch, loaded (or merged) as the Save asks for them.
class ImageFiles : public RowSource
{
public:
    ImageFiles(const RescueSession &session, const QStringList &images, bool merge)
        : session(session)
        , images(images)
        , merge(merge)
    {
    }
    int count() const override { return merge ? qMin(1, images.size()) : images.size(); }
    LoadResult fetch(int index) const override
    {
        return merge ? session.mergeQuietly(images) : session.loadQuietly(images.at(index));
    }

private:
    const RescueSession &session;
    const QStringList images;
    const bool merge;
};

class BatchRun
{
public:
    BatchRun(BatchListener &listener, const BatchMode &mode)
        : listener(listener)
        , mode(mode)
        , session([this](const LogEntry &entry) { this->listener.entry(entry); })
    {
        RescueOptions options;
        options.salvage = mode.salvage || mode.merge || !mode.bestImage.isEmpty() || mode.undelete
            || mode.layout != DiskFormat::Unknown;
        options.undelete = mode.undelete;
        options.layout = mode.layout;
        options.writeReport = mode.writeReport;
        options.forceMerge = mode.forceMerge;
        options.sync = mode.sync;
        session.setOptions(options);
    }

    int run(const QStringList &images, const QString &outputRoot)
    {
        SaveOptions save;
        save.outputRoot = outputRoot;
        save.jobs = mode.jobs;
        save.loadsFirst = true;
        save.fetched = [&](int index, const LoadResult &result) {
            loaded(mode.merge ? images.value(0) : images.at(index), result);
        };
        // Write failures are told as they happen, so an interrupted batch has
        // said what already failed; the log's own lines come in order later.
        save.finished = [&](const SavedImage &image) {
            const QString path = mode.merge ? images.value(0) : image.source;
            for (const LogEntry::WriteFailure &failure : image.failures)
                report(problemOf(BatchProblem::Kind::WriteFailed, path, failure));
        };
        save.saved = [&](const SavedImage &image) {
            if (!image.converted)
                report(problemOf(BatchProblem::Kind::NotConverted, mode.merge ? images.value(0) : image.source));
        };
        session.save(ImageFiles(session, images, mode.merge), save);
        return problems;
    }

private:
    void loaded(const QString &path, const LoadResult &result)
    {
        for (const auto &read : result.refusedReads) {
            LoadResult refused;
            refused.reasons = read.second;
            report(refusal(read.first, refused));
        }
        if (result.status != LoadResult::Status::Accepted) {
            // A merge whose every read was refused has said so read by read.
            if (!mode.merge || result.status != LoadResult::Status::Unreadable || result.refusedReads.isEmpty())
                report(refusal(path, result));
            return;
        }
        if (!mode.bestImage.isEmpty()) {
            BatchProblem problem = problemOf(BatchProblem::Kind::WriteFailed, path);
            if (!session.writeBestImage(result.physical, mode.bestImage, &problem.failure))
                report(problem);
        }
    }

    static BatchProblem problemOf(BatchProblem::Kind kind, const QString &path,
                                  const LogEntry::WriteFailure &failure = LogEntry::WriteFailure())
    {
        BatchProblem problem;
        problem.kind = kind;
        problem.imagePath = path;
        problem.failure = failure;
        return problem;
    }

    static BatchProblem refusal(const QString &path, const LoadResult &result)
    {
        // By the bytes the file was opened by: its name may not be valid text.
        if (result.status == LoadResult::Status::Unreadable && ::access(nativePath(path).constData(), R_OK) != 0)
            return problemOf(BatchProblem::Kind::Unreadable, path);
        BatchProblem problem = problemOf(BatchProblem::Kind::Refused, path);
        problem.reasons = result.reasons;
        return problem;
    }

    void report(const BatchProblem &problem)
    {
        ++problems;
        listener.problem(problem);
    }

    BatchListener &listener;
    const BatchMode mode;
    RescueSession session;
    int problems = 0;
};

} // namespace

int runBatch(const QStringList &images, const QString &outputRoot, BatchListener &listener, const BatchMode &mode)
{
    return BatchRun(listener, mode).run(images, outputRoot);
}
