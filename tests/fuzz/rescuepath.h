#pragma once

#include <QByteArray>
#include <QString>

// The whole rescue of one image given as bytes, as the fuzzer and the replay
// of its findings run it: load as DSK/EDSK, detect, build the row, convert
// into scratchRoot/image/ with the report, and render every log line both
// ways; then the same in salvage mode. The report must hold: every file is
// written as its sectors give it, and one called complete in files.csv has
// only good sectors.
struct RescuePathResult
{
    bool accepted = false;
    bool converted = false;
    int logLines = 0;
    int outputFiles = 0;
    QString problem; // empty, or the invariant that did not hold
};

RescuePathResult runRescuePath(const QByteArray &bytes, const QString &scratchRoot);

// Empties scratchRoot (which must exist) for the next run.
void clearScratch(const QString &scratchRoot);
