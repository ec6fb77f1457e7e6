// Nothing rescued is lost or overwritten, and every failure says why:
// hostile catalog names, names that are one file or no file at all on a
// FAT32 stick, images of one name, links at output paths, a full
// file, duplicate sector ids, inputs that are not files, oversized tape
// blocks and control characters, seen as a user sees them (files on disk,
// log lines, exit status). Runs that are killed, interrupted or have their
// folders swapped under them leave complete files and no temporaries; the
// files of a conversion are named only once they are on the disk.
#include "batchtestutil.h"
#include "imagebuilder.h"
#include "rescue/interruption.h"
#include "rescue/outputwriter.h"
#include "rescuetestutil.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QProcessEnvironment>
#include <QTemporaryDir>
#include <QTest>

#include <atomic>
#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace batchtest;

namespace {

tosdisk::File fileOf(const QByteArray &name, const QByteArray &extension, const QByteArray &contents)
{
    tosdisk::File file;
    file.name = name;
    file.extension = extension;
    file.contents = contents;
    return file;
}

QByteArray diskWith(const QVector<tosdisk::File> &files, int tracks = 40, int sides = 1)
{
    tosdisk::Disk disk;
    disk.tracks = tracks;
    disk.sides = sides;
    disk.files = files;
    return tosdisk::build(disk);
}

// Every file below root with its bytes, as one flat list of contents.
QList<QByteArray> contentsBelow(const QString &root)
{
    QList<QByteArray> contents;
    const QMap<QString, QByteArray> tree = treeOf(root);
    for (auto it = tree.cbegin(); it != tree.cend(); ++it)
        if (!it.key().endsWith(QLatin1Char('/')))
            contents << it.value();
    return contents;
}

// Lowers the largest file this process may write, as a full file system
// would stop a write; restored on destruction.
class FileSizeLimit
{
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        getrlimit(RLIMIT_FSIZE, &saved);
        std::signal(SIGXFSZ, SIG_IGN);
        rlimit lowered = saved;
        lowered.rlim_cur = bytes;
        active = setrlimit(RLIMIT_FSIZE, &lowered) == 0;
    }
    ~FileSizeLimit() { setrlimit(RLIMIT_FSIZE, &saved); }
    bool active = false;

private:
    rlimit saved{};
};

// What makes the writer use named temporaries, as on a file system without
// unnamed files.
const char namedTemporaries[] = "MALVORE_NAMED_TEMPORARIES";

// Named temporaries for the writers made while it lives, when on.
class TemporaryKind
{
public:
    explicit TemporaryKind(bool named)
    {
        if (named)
            qputenv(namedTemporaries, "1");
    }
    ~TemporaryKind() { qunsetenv(namedTemporaries); }
};

// Every entry below root (files, folders, links) whose name marks it as
// one of the writer's temporaries.
QStringList temporariesBelow(const QString &root)
{
    QStringList found;
    QDirIterator it(root, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        it.next();
        if (it.fileName().startsWith(QLatin1String(".malvore-")))
            found << it.filePath();
    }
    return found;
}

QString textOf(const LogEntry &entry)
{
    QString text;
    for (const LogEntry::Part &part : entry.parts)
        text += part.text;
    return text;
}

// Why name cannot be a file's name on FAT32, exFAT or NTFS (what Windows
// refuses); empty when it can.
QString fatProblem(const QString &name)
{
    if (name.isEmpty())
        return QStringLiteral("empty");
    for (const QChar c : name) {
        if (c.unicode() < 0x20)
            return QStringLiteral("control character");
        if (QStringLiteral(":*?\"<>|\\/").contains(c))
            return QStringLiteral("refused character %1").arg(c);
    }
    if (name.endsWith(QLatin1Char('.')) || name.endsWith(QLatin1Char(' ')))
        return QStringLiteral("ends in a dot or a space");
    return QString();
}

// Every name below root (files and folders) that FAT refuses, or that
// another name of its folder equals once case is not told apart.
QStringList namesInvalidOnFat(const QString &root)
{
    QStringList problems;
    QDirIterator it(root, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    QHash<QString, QString> folded; // folder + folded name -> name
    while (it.hasNext()) {
        it.next();
        const QString name = it.fileName();
        const QString problem = fatProblem(name);
        if (!problem.isEmpty())
            problems << it.filePath() + ": " + problem;
        const QString key = it.fileInfo().path() + '/' + name.toCaseFolded();
        if (folded.contains(key))
            problems << it.filePath() + ": one file with " + folded.value(key);
        folded.insert(key, name);
    }
    return problems;
}

// A process id no process has: ids stay below the kernel's pid_max.
qint64 deadProcessId()
{
    QFile limit(QStringLiteral("/proc/sys/kernel/pid_max"));
    if (limit.open(QIODevice::ReadOnly)) {
        bool ok = false;
        const qint64 value = limit.readAll().trimmed().toLongLong(&ok);
        if (ok)
            return value;
    }
    return 4194304; // the largest pid_max Linux allows
}

// Calls action before the write numbered at (from 1) of the runs made
// while it lives, and counts the writes.
class BeforeWrite
{
public:
    BeforeWrite(int at, std::function<void()> action)
    {
        OutputWriter::setBeforeWriteHook([this, at, action](const QString &) {
            if (++writes == at)
                action();
        });
    }
    ~BeforeWrite() { OutputWriter::setBeforeWriteHook({}); }
    std::atomic<int> writes{0};
};

} // namespace

class TestSafeOutput : public QObject
{
    Q_OBJECT

    QTemporaryDir scratch;
    int runs = 0;

    QString folder(const QString &name)
    {
        const QString path = scratch.filePath(QStringLiteral("%1-%2").arg(name).arg(++runs));
        QDir().mkpath(path);
        return path;
    }

    QString image(const QString &dir, const QString &name, const QByteArray &bytes)
    {
        const QString path = dir + QLatin1Char('/') + name;
        QDir().mkpath(QFileInfo(path).absolutePath());
        if (!writeFile(path, bytes))
            qFatal("cannot write %s", qPrintable(path));
        return path;
    }

    InProcessRun rescue(const QStringList &images, const QString &output, LogFormat format = LogFormat::Plain)
    {
        BatchOptions options;
        options.images = images;
        options.outputRoot = output;
        options.logFormat = format;
        return runInProcess(options);
    }

private slots:
    void initTestCase() { QVERIFY(scratch.isValid()); }

    // Names whose mended paths coincide: every body lands in a file of its
    // own, and the log says where the later one went.
    void collidingNamesKeepEveryBody_data()
    {
        QTest::addColumn<QList<QByteArray>>("names");
        QTest::addColumn<QStringList>("paths"); // in the image folder, in catalog order
        QTest::newRow("slash and backslash") << QList<QByteArray>{"A/B", "A\\B", "Z"}
                                             << QStringList{"A_B.dat", "A_B~2.dat", "Z.dat"};
        QTest::newRow("parent folders") << QList<QByteArray>{"../x", "..\\x", "Z"}
                                        << QStringList{".._x.dat", ".._x~2.dat", "Z.dat"};
        QTest::newRow("leading blank") << QList<QByteArray>{" LEAD", "LEAD", "Z"}
                                       << QStringList{"LEAD.dat", "LEAD~2.dat", "Z.dat"};
        QTest::newRow("name and extension") << QList<QByteArray>{"N.E", "N", "Z"}
                                            << QStringList{"N.E.dat", "N.E~2.dat", "Z.dat"};
        QTest::newRow("suffix taken by a later name") << QList<QByteArray>{" A", "A", "A~2"}
                                                      << QStringList{"A.dat", "A~2.dat", "A~2~2.dat"};
    }

    void collidingNamesKeepEveryBody()
    {
        QFETCH(QList<QByteArray>, names);
        QFETCH(QStringList, paths);
        const QString dir = folder("names");
        QVector<tosdisk::File> files;
        QList<QByteArray> bodies;
        for (int i = 0; i < names.size(); ++i) {
            bodies << tosdisk::plainData(300 + 200 * i, quint32(i + 1));
            // "N" with extension "E" is written as "N.E" by the catalog.
            const bool split = names.at(i) == "N";
            files << fileOf(split ? "N" : names.at(i), split ? "E" : "", bodies.last());
        }
        const QString path = image(dir, "N.dsk", diskWith(files));
        const InProcessRun run = rescue({path}, dir + "/out");
        QCOMPARE(run.status, 0);
        for (int i = 0; i < paths.size(); ++i)
            QCOMPARE(readFile(dir + "/out/N/" + paths.at(i)), bodies.at(i));
        QVERIFY2(run.out.contains("is already an output of this rescue; saved as "), qPrintable(run.out));
    }

    // The catalog's name is the data: the header, the tape and the log
    // show it; only the path is mended.
    void catalogNameStaysInHeaderTapeAndLog()
    {
        const QString dir = folder("name");
        const QByteArray code = tosdisk::codeFile(32768, 400, 5);
        const QString path = image(dir, "C.dsk", diskWith({fileOf("A/B", "", code)}));
        const InProcessRun run = rescue({path}, dir + "/out");
        QCOMPARE(run.status, 0);
        QVERIFY(readFile(dir + "/out/C/A_B.cod.inf").startsWith("File   : A/B.cod\n"));
        QVERIFY(linesOf(run.out).contains("file A/B "));
        const QByteArray tape = readFile(dir + "/out/C/C.tap");
        QCOMPARE(tape.mid(4, 10), QByteArray("A/B       "));
    }

    // Names that FAT32, exFAT, NTFS and macOS hold as one file (they differ
    // only in case), or refuse (reserved characters, control characters, a
    // final dot): every body lands in a file of its own whose name is valid
    // there, the same names on every file system, and the log says what
    // changed.
    void namesValidOnEveryFileSystem_data()
    {
        QTest::addColumn<QList<QByteArray>>("names");
        QTest::addColumn<QStringList>("paths"); // in the image folder, in catalog order
        QTest::addColumn<QStringList>("lines"); // in the log
        QTest::newRow("case") << QList<QByteArray>{"GAME", "game", "Game"}
                              << QStringList{"GAME.dat", "game~2.dat", "Game~3.dat"}
                              << QStringList{"game.dat is already an output of this rescue as GAME.dat, which differs "
                                             "only in case; saved as game~2.dat",
                                             "Game.dat is already an output of this rescue as GAME.dat, which differs "
                                             "only in case; saved as Game~3.dat"};
        QTest::newRow("suffix differing in case") << QList<QByteArray>{"A", "a", "A~2"}
                                                  << QStringList{"A.dat", "a~2.dat", "A~2~2.dat"}
                                                  << QStringList{"a.dat is already an output of this rescue as A.dat, "
                                                                 "which differs only in case; saved as a~2.dat",
                                                                 "A~2.dat is already an output of this rescue as "
                                                                 "a~2.dat, which differs only in case; saved as "
                                                                 "A~2~2.dat"};
        QTest::newRow("colon") << QList<QByteArray>{"A:B", "A_B", "Z"} << QStringList{"A_B.dat", "A_B~2.dat", "Z.dat"}
                               << QStringList{"A_B.dat is already an output of this rescue; saved as A_B~2.dat"};
        QTest::newRow("colon and case") << QList<QByteArray>{"a:b", "A_B"} << QStringList{"a_b.dat", "A_B~2.dat"}
                                        << QStringList{"A_B.dat is already an output of this rescue as a_b.dat, "
                                                       "which differs only in case; saved as A_B~2.dat"};
        QTest::newRow("reserved characters") << QList<QByteArray>{"*?\"<>|", "Q"}
                                             << QStringList{"______.dat", "Q.dat"} << QStringList();
        QTest::newRow("control character") << QList<QByteArray>{"C\x1b" "D", "Z"} << QStringList{"C_D.dat", "Z.dat"}
                                           << QStringList();
        // The extension follows: the name does not end in the dot.
        QTest::newRow("final dot") << QList<QByteArray>{"DOT.", "DOT", "dot."}
                                   << QStringList{"DOT..dat", "DOT.dat", "dot.~2.dat"}
                                   << QStringList{"dot..dat is already an output of this rescue as DOT..dat, which "
                                                  "differs only in case; saved as dot.~2.dat"};
    }

    void namesValidOnEveryFileSystem()
    {
        QFETCH(QList<QByteArray>, names);
        QFETCH(QStringList, paths);
        QFETCH(QStringList, lines);
        const QString dir = folder("portable");
        QVector<tosdisk::File> files;
        QList<QByteArray> bodies;
        for (int i = 0; i < names.size(); ++i) {
            bodies << tosdisk::plainData(300 + 200 * i, quint32(i + 7));
            files << fileOf(names.at(i), "", bodies.last());
        }
        const QString path = image(dir, "P.dsk", diskWith(files));
        const InProcessRun run = rescue({path}, dir + "/out");
        QCOMPARE(run.status, 0);
        const QStringList tree = treeOf(dir + "/out/P").keys();
        for (int i = 0; i < paths.size(); ++i)
            QVERIFY2(readFile(dir + "/out/P/" + paths.at(i)) == bodies.at(i), qPrintable(tree.join(' ')));
        // Every body, each once, and nothing FAT could not hold.
        QList<QByteArray> written = contentsBelow(dir + "/out/P");
        for (const QByteArray &body : qAsConst(bodies))
            QVERIFY(written.removeOne(body));
        QCOMPARE(namesInvalidOnFat(dir + "/out"), QStringList());
        const QStringList log = linesOf(run.out);
        for (const QString &line : lines)
            QVERIFY2(log.contains(line), qPrintable(run.out));
        int moved = 0;
        for (const QString &line : log)
            moved += line.contains("; saved as ");
        QCOMPARE(moved, lines.size());
        // The catalog's own name stays in the log and the description.
        for (const QByteArray &name : names)
            QVERIFY2(run.out.contains("file " + QString::fromUtf8(name).replace(QChar(0x1b), "\\x1b") + ' '),
                     qPrintable(run.out));
    }

    // Names claimed straight from the writer: a final dot or blank where
    // no extension follows, and reserved characters, are mended, and the
    // log says so; a name that needs nothing is left as it is.
    void claimMendsWhatFatRefuses_data()
    {
        QTest::addColumn<QString>("stem");
        QTest::addColumn<QString>("extension");
        QTest::addColumn<QString>("claimed");
        QTest::addColumn<QString>("line"); // empty: none
        QTest::newRow("plain") << "A" << ".dat" << "A.dat" << QString();
        QTest::newRow("final dot") << "A." << "" << "A_" << "A. is not a valid file name on every file system; saved as A_";
        QTest::newRow("final blank") << "A " << "" << "A_" << "A  is not a valid file name on every file system; saved as A_";
        QTest::newRow("final dot, extension after it") << "A." << ".dat" << "A..dat" << QString();
        QTest::newRow("question mark") << "A?" << ".dat" << "A_.dat"
                                       << "A?.dat is not a valid file name on every file system; saved as A_.dat";
        QTest::newRow("taken once mended") << "a*" << ".tap" << "a_~2.tap"
                                           << "a*.tap is already an output of this rescue as A_.tap, which differs "
                                              "only in case; saved as a_~2.tap";
        // Final sigma: lowered, the claimed name would differ.
        QTest::newRow("case folded, not just lowered") << QString::fromUtf8("\xcf\x83\xce\xb1\xcf\x82") << ".tap"
                                                       << QString::fromUtf8("\xcf\x83\xce\xb1\xcf\x82~2.tap")
                                                       << QString::fromUtf8("\xcf\x83\xce\xb1\xcf\x82.tap is already "
                                                                            "an output of this rescue as \xce\xa3\xce\x91"
                                                                            "\xce\xa3.tap, which differs only in case; "
                                                                            "saved as \xcf\x83\xce\xb1\xcf\x82~2.tap");
    }

    void claimMendsWhatFatRefuses()
    {
        QFETCH(QString, stem);
        QFETCH(QString, extension);
        QFETCH(QString, claimed);
        QFETCH(QString, line);
        QStringList lines;
        OutputWriter writer([&lines](const LogEntry &entry) { lines << textOf(entry); });
        writer.claim("F/", "A_", ".tap", {});
        writer.claim("F/", QString::fromUtf8("\xce\xa3\xce\x91\xce\xa3"), ".tap", {});
        QCOMPARE(writer.claim("F/", stem, extension, {".inf"}), claimed);
        QCOMPARE(lines, line.isEmpty() ? QStringList() : QStringList{line});
        QCOMPARE(fatProblem(claimed), QString());
    }

    // An image whose name FAT refuses is rescued into a folder whose name it
    // takes.
    void imageFolderValidOnEveryFileSystem()
    {
        const QString dir = folder("portable-image");
        const QByteArray code = tosdisk::codeFile(32768, 300, 1);
        const QString path = image(dir, "a:b?.dsk", diskWith({fileOf("F", "", code)}));
        const InProcessRun run = rescue({path}, dir + "/out");
        QCOMPARE(run.status, 0);
        QCOMPARE(readFile(dir + "/out/a_b_/F.cod"), code.mid(5));
        QVERIFY(QFile::exists(dir + "/out/a_b_/a_b_.tap"));
        QCOMPARE(namesInvalidOnFat(dir + "/out"), QStringList());
    }

    // A writer made for a whole conversion names nothing before its
    // commit, then everything, with either kind of temporary; one whose
    // folder is gone by then reports each file as any failed write is.
    void batchNamesFilesAtCommit_data()
    {
        QTest::addColumn<bool>("named");
        QTest::addColumn<bool>("folderGone");
        for (const bool named : {false, true}) {
            const char *kind = named ? "named temporaries" : "unnamed files";
            QTest::newRow(kind) << named << false;
            QTest::newRow(qPrintable(QStringLiteral("%1, folder gone").arg(kind))) << named << true;
        }
    }

    void batchNamesFilesAtCommit()
    {
        QFETCH(bool, named);
        QFETCH(bool, folderGone);
        const TemporaryKind kind(named);
        const QString dir = folder("commit");
        QVector<LogEntry> entries;
        OutputWriter writer([&entries](const LogEntry &entry) { entries.append(entry); });
        writer.setDurability(OutputWriter::Durability::Batch);
        QVERIFY(writer.makeFolder(dir + "/out/B/"));
        QVERIFY(writer.writeFile(dir + "/out/B/one", "one"));
        QVERIFY(writer.writeFile(dir + "/out/B/two", QByteArray(100000, 'x')));
        QCOMPARE(QDir(dir + "/out/B").entryList(QDir::Files), QStringList());
        if (folderGone)
            QVERIFY(QDir(dir + "/out/B").removeRecursively());
        writer.commit();
        QCOMPARE(temporariesBelow(dir), QStringList());
        if (folderGone) {
            QCOMPARE(writer.failureCount(), 2);
            QCOMPARE(entries.size(), 2);
            QVERIFY(textOf(entries.at(0)).startsWith("Cannot write " + dir + "/out/B/one: "));
            QVERIFY(textOf(entries.at(1)).startsWith("Cannot write " + dir + "/out/B/two: "));
            QVERIFY(!QFileInfo::exists(dir + "/out/B"));
        } else {
            QCOMPARE(writer.failureCount(), 0);
            QCOMPARE(entries.size(), 0);
            QCOMPARE(readFile(dir + "/out/B/one"), QByteArray("one"));
            QCOMPARE(readFile(dir + "/out/B/two"), QByteArray(100000, 'x'));
        }
    }

    // --no-sync changes nothing but the flushing: the same tree, the same
    // log, over an empty root or an earlier run, with either kind of
    // temporary.
    void noSyncGivesTheSameTree_data()
    {
        QTest::addColumn<bool>("named");
        QTest::addColumn<bool>("overEarlierRun");
        for (const bool named : {false, true}) {
            const char *kind = named ? "named temporaries" : "unnamed files";
            QTest::newRow(kind) << named << false;
            QTest::newRow(qPrintable(QStringLiteral("%1, over an earlier run").arg(kind))) << named << true;
        }
    }

    void noSyncGivesTheSameTree()
    {
        QFETCH(bool, named);
        QFETCH(bool, overEarlierRun);
        const TemporaryKind kind(named);
        const QString dir = folder("nosync");
        const tosdisk::Disk disk = tosdisk::sampleDisk(40, 1, true, 12, 70);
        const QString path = image(dir, "S.dsk", tosdisk::build(disk));
        if (overEarlierRun) {
            QCOMPARE(rescue({path}, dir + "/synced").status, 0);
            QCOMPARE(runTool({"--quiet", "--no-sync", "--output", dir + "/unsynced", path}, dir).exitCode, 0);
        }
        const ToolRun synced = runTool({"--report", "--output", dir + "/synced", path}, dir);
        const ToolRun unsynced = runTool({"--no-sync", "--report", "--output", dir + "/unsynced", path}, dir);
        QCOMPARE(synced.exitCode, 0);
        QCOMPARE(unsynced.exitCode, 0);
        QVERIFY(treeOf(dir + "/synced").size() > 4);
        QCOMPARE(treeOf(dir + "/unsynced"), treeOf(dir + "/synced"));
        QCOMPARE(QString(unsynced.out).replace("/unsynced/", "/synced/"), synced.out);
        QCOMPARE(temporariesBelow(dir), QStringList());
    }

    // A lost block named like the image's archive does not replace it.
    void lostBlockNeverReplacesTheArchive()
    {
        const QString dir = folder("lost");
        tosdisk::Disk disk;
        disk.files.append(fileOf("F", "", tosdisk::codeFile(32768, 300, 1)));
        disk.lostData.append({0x60, tosdisk::plainData(256, 9)});
        const QString path = image(dir, "sector_0060.dat.dsk", tosdisk::build(disk));
        const InProcessRun run = rescue({path}, dir + "/out");
        QCOMPARE(run.status, 0);
        const QString out = dir + "/out/sector_0060.dat/";
        QVERIFY(readFile(out + "sector_0060.dat.tap").startsWith(QByteArray("\x13\x00\x00\x03", 4)));
        QCOMPARE(readFile(out + "sector_0060~2.dat"), tosdisk::plainData(256, 9));
        QVERIFY(QFile::exists(out + "sector_0060~2.dat.tap"));
        QVERIFY(linesOf(run.out).contains("sector_0060.dat is already an output of this rescue; saved as sector_0060~2.dat"));
    }

    // Images of one name in one run: each gets its folder, with a log line.
    void collidingImageNamesGetFoldersOfTheirOwn()
    {
        const QString dir = folder("images");
        const QByteArray first = tosdisk::codeFile(32768, 300, 1);
        const QByteArray second = tosdisk::codeFile(32768, 300, 2);
        const QString a = image(dir, "a/disk.dsk", diskWith({fileOf("F", "", first)}));
        const QString b = image(dir, "b/disk.dsk", diskWith({fileOf("F", "", second)}));
        const InProcessRun run = rescue({a, b}, dir + "/out");
        QCOMPARE(run.status, 0);
        QCOMPARE(readFile(dir + "/out/disk/F.cod"), first.mid(5));
        QCOMPARE(readFile(dir + "/out/disk~2/F.cod"), second.mid(5));
        QVERIFY(QFile::exists(dir + "/out/disk~2/disk~2.tap"));
        QVERIFY(linesOf(run.out).contains("The folder disk holds another image of this run; saved into disk~2"));
    }

    // A link at an output path is never followed: the write fails with a
    // reason and what the link points to stays as it was.
    void linksAreNotFollowed_data()
    {
        QTest::addColumn<QString>("linkPath"); // below the output root
        QTest::addColumn<bool>("toFolder");
        QTest::addColumn<bool>("dangling");
        QTest::newRow("image folder") << "L" << true << false;
        QTest::newRow("catalog file") << "L/F.cod" << false << false;
        QTest::newRow("description") << "L/F.cod.inf" << false << false;
        QTest::newRow("archive") << "L/L.tap" << false << false;
        QTest::newRow("dangling link") << "L/F.cod" << false << true;
    }

    void linksAreNotFollowed()
    {
        QFETCH(QString, linkPath);
        QFETCH(bool, toFolder);
        QFETCH(bool, dangling);
        const QString dir = folder("links");
        const QString path = image(dir, "L.dsk", diskWith({fileOf("F", "", tosdisk::codeFile(32768, 300, 1))}));
        const QString out = dir + "/out";
        QDir().mkpath(out + "/L");
        const QString victim = dir + (toFolder ? "/elsewhere" : "/victim");
        if (toFolder) {
            QDir(out + "/L").removeRecursively();
            QDir().mkpath(victim);
        } else if (!dangling) {
            QVERIFY(writeFile(victim, "precious"));
        }
        const QString target = dangling ? dir + "/nowhere/created" : victim;
        QVERIFY(QFile::link(target, out + "/" + linkPath));

        const InProcessRun run = rescue({path}, out);
        QCOMPARE(run.status, 1);
        QVERIFY2(run.err.contains("symbolic link"), qPrintable(run.err));
        if (toFolder)
            QCOMPARE(QDir(victim).entryList(QDir::NoDotAndDotDot | QDir::AllEntries), QStringList());
        else if (dangling)
            QVERIFY(!QFileInfo::exists(target) && !QDir(dir + "/nowhere").exists());
        else
            QCOMPARE(readFile(victim), QByteArray("precious"));
        QVERIFY(QFileInfo(out + "/" + linkPath).isSymLink());
    }

    // The output root itself may be a link the user chose.
    void outputRootMayBeALink()
    {
        const QString dir = folder("root");
        const QString path = image(dir, "R.dsk", diskWith({fileOf("F", "", tosdisk::codeFile(32768, 300, 1))}));
        QDir().mkpath(dir + "/real");
        QVERIFY(QFile::link(dir + "/real", dir + "/alias"));
        const InProcessRun run = rescue({path}, dir + "/alias");
        QCOMPARE(run.status, 0);
        QVERIFY(QFile::exists(dir + "/real/R/F.cod"));
    }

    // A file that cannot be written whole leaves nothing behind that looks
    // complete, and the failure carries the system's reason.
    void failedWriteLeavesNoPartialFile()
    {
        const QString dir = folder("full");
        const QByteArray code = tosdisk::codeFile(32768, 9000, 4);
        const QString path = image(dir, "G.dsk", diskWith({fileOf("GAME", "", code)}));
        InProcessRun run;
        {
            FileSizeLimit limit(4096);
            if (!limit.active)
                QSKIP("cannot lower the file size limit here");
            run = rescue({path}, dir + "/out");
        }
        QCOMPARE(run.status, 1);
        const QString out = dir + "/out/G/";
        QVERIFY(!QFile::exists(out + "GAME.cod"));
        QCOMPARE(QDir(out).entryList(QDir::Files | QDir::Hidden), QStringList({"GAME.cod.inf"}));
        const QString failure = "Cannot write " + out + "GAME.cod: ";
        QString line;
        for (const QString &candidate : linesOf(run.out))
            if (candidate.startsWith(failure))
                line = candidate;
        QVERIFY2(line.size() > failure.size(), qPrintable(run.out));
        QVERIFY(run.err.contains(": cannot write " + out + "GAME.cod"));
    }

    // Duplicate sector ids never refuse a disk; the first copy is kept.
    void duplicateSectorIds_data()
    {
        QTest::addColumn<bool>("differs");
        QTest::newRow("identical copy") << false;
        QTest::newRow("misread id") << true;
    }

    void duplicateSectorIds()
    {
        QFETCH(bool, differs);
        const QString dir = folder("dup");
        tosdisk::Disk disk;
        disk.files.append(fileOf("F", "", tosdisk::codeFile(32768, 300, 1)));
        ImageBuilder builder(40, 1);
        // Rebuild the disk's sectors into a builder that can list one twice.
        const QByteArray bytes = tosdisk::build(disk);
        libdsk dsk;
        QVERIFY(dsk.openData(bytes, "d") >= 0);
        for (int t = 0; t < 40; ++t)
            for (int id = 0; id < 16; ++id)
                builder.setSector(t, 0, id, dsk.sector(t, 0, id));
        ImageBuilder::Sector copy = *builder.sector(20, 0, 3);
        if (differs)
            copy.data[0] = char(copy.data.at(0) ^ 0x55);
        builder.track(20, 0).sectors.append(copy);
        const QString path = image(dir, "D.dsk", builder.dsk());
        const InProcessRun run = rescue({path}, dir + "/out");
        QCOMPARE(run.status, 0);
        QVERIFY(linesOf(run.out).contains("sectors (imported)  : 640"));
        const bool reported = run.out.contains("Track 20 side 0: sector id 3 is listed twice with different data");
        QCOMPARE(reported, differs);
        QCOMPARE(readFile(dir + "/out/D/F.cod"), tosdisk::codeFile(32768, 300, 1).mid(5));
    }

    // Inputs that are not regular files are refused at once, never waited on.
    void irregularInputsAreRefusedAtOnce_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::newRow("FIFO") << "a FIFO";
        QTest::newRow("folder") << "a folder";
        QTest::newRow("device") << "a device";
    }

    void irregularInputsAreRefusedAtOnce()
    {
        QFETCH(QString, kind);
        const QString dir = folder("irregular");
        QString input = dir + "/input";
        if (kind == "a FIFO")
            QCOMPARE(mkfifo(QFile::encodeName(input).constData(), 0600), 0);
        else if (kind == "a folder")
            QVERIFY(QDir().mkpath(input));
        else
            input = "/dev/null";
        const QString good = image(dir, "GOOD.dsk", smallTosDisk());
        const ToolRun run = runTool({"--output", dir + "/out", input, good}, dir);
        QCOMPARE(run.exitCode, 1);
        QVERIFY2(run.err.contains(input + ": refused: Not a regular file (" + kind + "); not read."), qPrintable(run.err));
        QVERIFY(QFile::exists(dir + "/out/GOOD/GOOD.tap"));
    }

    void emptyOutputIsAUsageError()
    {
        const ToolRun run = runTool({"--output", "", "a.dsk"}, folder("empty"));
        QCOMPARE(run.exitCode, 2);
        QVERIFY(run.err.startsWith("malvore-rescue: missing value for --output\n"));
    }

    // A code file too long for one tape block is written, and the log says
    // the archive leaves it out.
    void fileLeftOutOfTheArchiveSaysSo()
    {
        const QString dir = folder("long");
        const QByteArray code = tosdisk::codeFile(0, 70000, 6);
        const QString path = image(dir, "T.dsk", diskWith({fileOf("HUGE", "", code)}, 80, 2));
        const InProcessRun run = rescue({path}, dir + "/out");
        QCOMPARE(run.status, 0);
        QCOMPARE(readFile(dir + "/out/T/HUGE.cod").size(), 70000);
        QVERIFY2(linesOf(run.out).contains(
                     "HUGE left out of the tape archive: 70000 bytes are too long for a tape block"),
                 qPrintable(run.out));
    }

    // Control characters in names reach neither the terminal nor the
    // window's markup raw; the files keep their bytes.
    void controlCharactersAreEscaped_data()
    {
        QTest::addColumn<LogFormat>("format");
        QTest::addColumn<QString>("shown");
        QTest::newRow("plain") << LogFormat::Plain << "file \\x1b]0;X\\x07 ";
        QTest::newRow("html") << LogFormat::Html << "file &#x1b;]0;X&#x07; ";
    }

    void controlCharactersAreEscaped()
    {
        QFETCH(LogFormat, format);
        QFETCH(QString, shown);
        const QString dir = folder("control");
        const QByteArray code = tosdisk::codeFile(32768, 200, 3);
        const QString path = image(dir, "E\x1b[2J.dsk", diskWith({fileOf("\x1b]0;X\x07", "", code), fileOf("<hr>X", "", code)}));
        const InProcessRun run = rescue({path}, dir + "/out", format);
        QCOMPARE(run.status, 0);
        QVERIFY2(linesOf(run.out).contains(shown), qPrintable(run.out));
        QVERIFY(!run.out.contains(QChar(0x1b)) && !run.out.contains(QChar(0x07)));
        if (format == LogFormat::Html)
            QVERIFY(run.out.contains("file &lt;hr>X "));
        // The description keeps the name; the path holds no control character.
        QVERIFY(readFile(dir + "/out/E_[2J/_]0;X_.cod.inf").startsWith("File   : \x1b]0;X\x07.cod\n"));
    }

    // Whatever the run meets, it leaves no temporary anywhere in the tree:
    // with unnamed files or named temporaries, on a first run, over an
    // earlier run's files, and when a file cannot be written whole.
    void noTemporaryRemains_data()
    {
        QTest::addColumn<bool>("named");
        QTest::addColumn<QString>("run");
        for (const bool named : {false, true}) {
            const char *kind = named ? "named temporaries" : "unnamed files";
            for (const char *run : {"first run", "over an earlier run", "file too large"})
                QTest::newRow(qPrintable(QStringLiteral("%1, %2").arg(kind, run))) << named << QString(run);
        }
    }

    void noTemporaryRemains()
    {
        QFETCH(bool, named);
        QFETCH(QString, run);
        const TemporaryKind kind(named);
        const QString dir = folder("clean");
        const QString path = image(dir, "K.dsk", smallTosDisk());
        const QString out = dir + "/out";
        if (run == "over an earlier run") {
            QCOMPARE(rescue({path}, out).status, 0);
            // Changed by hand since: the rescue puts its own bytes back.
            QVERIFY(writeFile(out + "/K/GAME.C.cod", "edited"));
        }
        QCOMPARE(rescue({path}, dir + "/reference").status, 0);
        InProcessRun result;
        if (run == "file too large") {
            FileSizeLimit limit(1024);
            if (!limit.active)
                QSKIP("cannot lower the file size limit here");
            result = rescue({path}, out);
        } else {
            result = rescue({path}, out);
        }
        QCOMPARE(temporariesBelow(dir), QStringList());
        if (run == "file too large") {
            QCOMPARE(result.status, 1);
            QVERIFY2(result.out.contains("Cannot write " + out + "/K/GAME.C.cod: "), qPrintable(result.out));
            QVERIFY(!QFile::exists(out + "/K/GAME.C.cod"));
        } else {
            QCOMPARE(result.status, 0);
            QCOMPARE(treeOf(out), treeOf(dir + "/reference"));
        }
    }

    // A named temporary left by a killed run is removed the next time a run
    // writes into its folder, with either kind of temporary; one that may
    // belong to a write going on now, and every other name, stays.
    void staleTemporariesAreRemoved_data()
    {
        QTest::addColumn<QString>("name"); // %dead: a process that does not exist
        QTest::addColumn<int>("ageMinutes");
        QTest::addColumn<bool>("isFolder");
        QTest::addColumn<bool>("named");
        QTest::addColumn<bool>("removed");
        QTest::newRow("dead process") << ".malvore-%dead-1" << 0 << false << false << true;
        QTest::newRow("dead process, named temporaries") << ".malvore-%dead-1" << 0 << false << true << true;
        QTest::newRow("live process") << ".malvore-1-4" << 0 << false << true << false;
        QTest::newRow("live process, over an hour old") << ".malvore-1-4" << 61 << false << true << true;
        QTest::newRow("live process, within the hour") << ".malvore-1-4" << 59 << false << false << false;
        QTest::newRow("process id out of range") << ".malvore-99999999999999999999-2" << 0 << false << false << true;
        QTest::newRow("not a temporary's name") << ".malvore-notes" << 600 << false << false << false;
        QTest::newRow("no counter") << ".malvore-%dead" << 600 << false << true << false;
        QTest::newRow("a folder") << ".malvore-%dead-3" << 600 << true << false << false;
    }

    void staleTemporariesAreRemoved()
    {
        QFETCH(QString, name);
        QFETCH(int, ageMinutes);
        QFETCH(bool, isFolder);
        QFETCH(bool, named);
        QFETCH(bool, removed);
        const TemporaryKind kind(named);
        const QString dir = folder("stale");
        const QString path = image(dir, "S.dsk", smallTosDisk());
        const QString stale = dir + "/out/S/" + QString(name).replace("%dead", QString::number(deadProcessId()));
        QDir().mkpath(dir + "/out/S");
        if (isFolder) {
            QVERIFY(QDir().mkpath(stale));
        } else {
            QVERIFY(writeFile(stale, ""));
            QFile file(stale);
            QVERIFY(file.open(QIODevice::ReadWrite));
            QVERIFY(file.setFileTime(QDateTime::currentDateTime().addSecs(-60 * ageMinutes),
                                     QFileDevice::FileModificationTime));
        }
        QCOMPARE(rescue({path}, dir + "/out").status, 0);
        QCOMPARE(QFileInfo::exists(stale), !removed);
        QCOMPARE(readFile(dir + "/out/S/GAME.C.cod").size(), 1500);
    }

    // The image folder swapped for a link between two files of one
    // conversion: the writes stay in the folder opened at the start (or
    // fail, when it is gone), never through the link.
    void swappedFolderReceivesNothingOutsideTheRoot_data()
    {
        QTest::addColumn<bool>("named");
        QTest::addColumn<bool>("keepFolder"); // moved aside within the root, or removed
        for (const bool named : {false, true}) {
            const char *kind = named ? "named temporaries" : "unnamed files";
            QTest::newRow(qPrintable(QStringLiteral("moved aside, %1").arg(kind))) << named << true;
            QTest::newRow(qPrintable(QStringLiteral("removed, %1").arg(kind))) << named << false;
        }
    }

    void swappedFolderReceivesNothingOutsideTheRoot()
    {
        QFETCH(bool, named);
        QFETCH(bool, keepFolder);
        const TemporaryKind kind(named);
        const QString dir = folder("swap");
        const QString path = image(dir, "W.dsk", smallTosDisk());
        QCOMPARE(rescue({path}, dir + "/reference").status, 0);
        const QString out = dir + "/out";
        const QString elsewhere = dir + "/elsewhere";
        QDir().mkpath(elsewhere);
        bool swapped = false;
        InProcessRun run;
        {
            const BeforeWrite swap(2, [&]() {
                swapped = keepFolder ? QDir().rename(out + "/W", out + "/W.moved")
                                     : QDir(out + "/W").removeRecursively();
                swapped = swapped && QFile::link(elsewhere, out + "/W");
            });
            run = rescue({path}, out);
            QVERIFY(swap.writes > 2);
        }
        QVERIFY(swapped);
        QCOMPARE(contentsBelow(elsewhere), QList<QByteArray>());
        QVERIFY(QFileInfo(out + "/W").isSymLink());
        QCOMPARE(temporariesBelow(dir), QStringList());
        if (keepFolder) {
            QCOMPARE(run.status, 0);
            QCOMPARE(treeOf(out + "/W.moved"), treeOf(dir + "/reference/W"));
        } else {
            QCOMPARE(run.status, 1);
            QVERIFY2(run.err.contains(": cannot write " + out + "/W/GAME.C.cod: "), qPrintable(run.err));
            QCOMPARE(QDir(out).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot), QStringList{"W"});
        }
    }

    // Asked to stop, a writer begins no file and makes no folder, and says
    // nothing: the program reports the interruption once.
    void interruptedWriterBeginsNothing()
    {
        const QString dir = folder("stop");
        QVector<LogEntry> entries;
        OutputWriter writer([&entries](const LogEntry &entry) { entries.append(entry); });
        QVERIFY(writer.makeFolder(dir + "/out/I/"));
        QVERIFY(writer.writeFile(dir + "/out/I/first", "first"));
        requestInterruption(SIGTERM);
        const bool second = writer.writeFile(dir + "/out/I/second", "second");
        const bool folderMade = writer.makeFolder(dir + "/out/J/");
        clearInterruption();
        QVERIFY(!second && !folderMade);
        QCOMPARE(writer.failureCount(), 0);
        QCOMPARE(entries.size(), 0);
        QCOMPARE(readFile(dir + "/out/I/first"), QByteArray("first"));
        QCOMPARE(QDir(dir + "/out").entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
                 QStringList{"I"});
        QCOMPARE(QDir(dir + "/out/I").entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
                 QStringList{"first"});
    }

    // malvore-rescue stopped in the middle of a large batch: SIGINT and
    // SIGTERM end it with 128 + the signal and a line saying so, SIGKILL
    // at any moment; every file it leaves is whole, and no temporary stays.
    void stoppedBatchLeavesOnlyWholeFiles_data()
    {
        QTest::addColumn<int>("signal");
        QTest::addColumn<bool>("named");
        QTest::newRow("SIGTERM") << int(SIGTERM) << false;
        QTest::newRow("SIGTERM, named temporaries") << int(SIGTERM) << true;
        QTest::newRow("SIGINT") << int(SIGINT) << false;
        QTest::newRow("SIGINT, named temporaries") << int(SIGINT) << true;
        // A named temporary may outlive a kill (the next run removes it):
        // only unnamed files are sure to vanish.
        QTest::newRow("SIGKILL") << int(SIGKILL) << false;
    }

    void stoppedBatchLeavesOnlyWholeFiles()
    {
        QFETCH(int, signal);
        QFETCH(bool, named);
        const QString dir = folder("signal");
        // A few disks, each named many times: every naming is rescued into
        // a folder of its own ("img1~7"), the same files each time.
        QStringList distinct;
        for (int i = 0; i < 3; ++i) {
            const tosdisk::Disk disk = tosdisk::sampleDisk(40, 1, i == 1, quint32(11 + i), 70);
            distinct << image(dir, QStringLiteral("img%1.dsk").arg(i), tosdisk::build(disk));
        }
        QCOMPARE(rescue(distinct, dir + "/reference").status, 0);
        QStringList images;
        for (int i = 0; i < 1500; ++i)
            images << distinct.at(i % distinct.size());
        const QString out = dir + "/out";

        QProcess process;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.remove(namedTemporaries);
        if (named)
            environment.insert(namedTemporaries, "1");
        process.setProcessEnvironment(environment);
        process.start(QStringLiteral(MALVORE_RESCUE_PATH),
                      QStringList{"--quiet", "--jobs", "2", "--output", out} + images);
        QVERIFY(process.waitForStarted());
        // Signalled once a few images are written (their files are named
        // when the image is done, the archive among them), well before the end.
        auto written = [&out]() {
            int images = 0;
            for (const QString &name : QDir(out).entryList(QDir::Dirs | QDir::NoDotAndDotDot))
                images += QFile::exists(out + "/" + name + "/" + name + ".tap");
            return images;
        };
        while (process.state() == QProcess::Running && written() < 4)
            process.waitForFinished(2);
        QVERIFY2(process.state() == QProcess::Running, "the batch ended before the signal: make it larger");
        QCOMPARE(::kill(pid_t(process.processId()), signal), 0);
        QVERIFY(process.waitForFinished(120000));
        const QString err = QString::fromUtf8(process.readAllStandardError());
        if (signal == SIGKILL) {
            QCOMPARE(process.exitStatus(), QProcess::CrashExit);
        } else {
            QCOMPARE(process.exitStatus(), QProcess::NormalExit);
            QCOMPARE(process.exitCode(), 128 + signal);
            QVERIFY2(err.endsWith("malvore-rescue: interrupted; the files written so far are complete\n"),
                     qPrintable(err));
        }

        QCOMPARE(temporariesBelow(dir), QStringList());
        const QStringList folders = QDir(out).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
        QVERIFY(folders.size() >= 4);
        QVERIFY2(folders.size() < images.size(), "the signal stopped nothing");
        // Each file left is byte for byte the one an undisturbed run writes;
        // the archive is named after its folder.
        int files = 0;
        for (const QString &name : folders) {
            const QString original = name.section(QLatin1Char('~'), 0, 0);
            const QMap<QString, QByteArray> tree = treeOf(out + "/" + name);
            for (auto it = tree.cbegin(); it != tree.cend(); ++it) {
                const QString file = it.key() == name + ".tap" ? original + ".tap" : it.key();
                QVERIFY2(it.value() == readFile(dir + "/reference/" + original + "/" + file),
                         qPrintable(name + "/" + it.key()));
                ++files;
            }
        }
        QVERIFY(files > 0);
    }
};

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    TestSafeOutput test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_safeoutput.moc"
