#pragma once

// Helpers shared by the batch tool's tests: files, folder trees, runs of the
// tool as a process and in this process, and log lines.

#include "rescuecli.h"
#include "tosdisk.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QMap>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTextStream>

namespace batchtest {

inline const QString rule(40, QLatin1Char('-'));

inline bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

inline QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

// Every file and folder below root, by relative path; folders end in '/'
// and map to nothing, files map to their bytes.
inline QMap<QString, QByteArray> treeOf(const QString &root)
{
    QMap<QString, QByteArray> tree;
    const QDir base(root);
    QDirIterator it(root, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QFileInfo entry(it.next());
        const QString relative = base.relativeFilePath(entry.filePath());
        if (entry.isDir())
            tree.insert(relative + QLatin1Char('/'), QByteArray());
        else
            tree.insert(relative, readFile(entry.filePath()));
    }
    return tree;
}

// A small A.4 disk: a program, a damaged code file and a lost code block.
inline QByteArray smallTosDisk(quint32 seed = 7)
{
    tosdisk::Disk disk;
    disk.tracks = 40;
    disk.files.append({0, "LOADER", "B", tosdisk::basicProgram(10, 500, seed), {}, {}});
    disk.files.append({0, "GAME", "C", tosdisk::codeFile(32768, 1500, seed + 1), {1}, {}});
    disk.lostData.append({-1, tosdisk::codeFile(40000, 700, seed + 2)});
    return tosdisk::build(disk);
}

struct ToolRun
{
    int exitCode = -1;
    QString out;
    QString err;
};

inline ToolRun runTool(const QStringList &arguments, const QString &workingDirectory)
{
    QProcess process;
    process.setWorkingDirectory(workingDirectory);
    process.start(QStringLiteral(MALVORE_RESCUE_PATH), arguments);
    ToolRun run;
    if (!process.waitForFinished(120000) || process.exitStatus() != QProcess::NormalExit)
        return run;
    run.exitCode = process.exitCode();
    run.out = QString::fromUtf8(process.readAllStandardOutput());
    run.err = QString::fromUtf8(process.readAllStandardError());
    return run;
}

struct InProcessRun
{
    int status = -1;
    QString out;
    QString err;
};

inline InProcessRun runInProcess(const BatchOptions &options)
{
    InProcessRun run;
    QTextStream out(&run.out);
    QTextStream err(&run.err);
    run.status = runBatchRescue(options, out, err);
    out.flush();
    err.flush();
    return run;
}

inline QStringList linesOf(const QString &text)
{
    QStringList lines = text.split(QLatin1Char('\n'));
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    return lines;
}

// True when wanted appear in lines in this order (others may lie between).
inline bool inOrder(const QStringList &lines, const QStringList &wanted)
{
    int next = 0;
    for (const QString &line : lines)
        if (next < wanted.size() && line == wanted.at(next))
            ++next;
    return next == wanted.size();
}

} // namespace batchtest
