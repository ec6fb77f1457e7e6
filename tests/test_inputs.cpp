// What the batch tool takes in, seen as a user sees it (exit status, error
// lines, files on disk, report cells): the best image never replaces a read
// or lands in the output tree, an input swapped for a FIFO never makes the
// run wait, images whose names are not valid text are rescued, and catalog
// names never reach a report as spreadsheet formulas.
#include "batchtestutil.h"
#include "rescue/pathidentity.h"

#include <QCoreApplication>
#include <QTemporaryDir>
#include <QTest>

#include <atomic>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

using namespace batchtest;

namespace {

tosdisk::File codeNamed(const QByteArray &name, quint32 seed)
{
    tosdisk::File file;
    file.name = name;
    file.contents = tosdisk::codeFile(32768, 600, seed);
    return file;
}

// A one-file disk whose file body tells the disk apart by seed.
QByteArray diskOf(const QByteArray &name, quint32 seed)
{
    tosdisk::Disk disk;
    disk.files.append(codeNamed(name, seed));
    return tosdisk::build(disk);
}

// Writes a file by the bytes of its name, which need not be valid text.
bool writeRaw(const QByteArray &path, const QByteArray &bytes)
{
    const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0)
        return false;
    const bool written = ::write(fd, bytes.constData(), size_t(bytes.size())) == ssize_t(bytes.size());
    return ::close(fd) == 0 && written;
}

// The cells of one CSV line, unquoted.
QStringList cellsOf(const QString &line)
{
    QStringList cells{QString()};
    bool quoted = false;
    for (int i = 0; i < line.size(); ++i) {
        const QChar c = line.at(i);
        if (quoted && c == QLatin1Char('"') && line.mid(i + 1, 1) == QLatin1String("\""))
            cells.last() += line.at(++i);
        else if (c == QLatin1Char('"'))
            quoted = !quoted;
        else if (c == QLatin1Char(',') && !quoted)
            cells << QString();
        else
            cells.last() += c;
    }
    return cells;
}

InProcessRun runArguments(const QList<QByteArray> &arguments)
{
    InProcessRun run;
    QTextStream out(&run.out);
    QTextStream err(&run.err);
    run.status = batchRescueMain(commandLinePaths(arguments), out, err);
    out.flush();
    err.flush();
    return run;
}

} // namespace

class TestInputs : public QObject
{
    Q_OBJECT

    QTemporaryDir scratch;
    int runs = 0;
    QList<QByteArray> rawFiles; // Qt cannot remove what it cannot name

    bool writeRawFile(const QByteArray &path, const QByteArray &bytes)
    {
        rawFiles << path;
        return writeRaw(path, bytes);
    }

    QString folder(const QString &name)
    {
        const QString path = scratch.filePath(QStringLiteral("%1-%2").arg(name).arg(++runs));
        QDir().mkpath(path);
        return path;
    }

private slots:
    void initTestCase() { QVERIFY(scratch.isValid()); }

    void cleanupTestCase()
    {
        for (const QByteArray &path : rawFiles)
            ::unlink(path.constData());
    }

    // The best image is refused where it would replace a read or where a
    // rescued file could replace it, however the place is spelled; next to
    // the output tree it is written. The folder holds a.dsk and b.dsk, a
    // hard and a symbolic link to a.dsk, the folders x/, out/a/ and out2/
    // and a link outlink to out.
    void bestImagePlace_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("error"); // the line on standard error, if refused
        const QString read = QStringLiteral("--write-image %1 is the image %2, which it would replace");
        const QString inside =
            QStringLiteral("--write-image %1 lies in the output folder %2, where rescued files could replace it");
        QTest::newRow("the image itself") << QStringList{"--write-image", "a.dsk", "a.dsk"} << 2
                                          << read.arg("a.dsk", "a.dsk");
        QTest::newRow("the image spelled through ..")
            << QStringList{"--write-image", "./x/../a.dsk", "a.dsk"} << 2 << read.arg("./x/../a.dsk", "a.dsk");
        QTest::newRow("a hard link to the image")
            << QStringList{"--write-image", "hard.dsk", "a.dsk"} << 2 << read.arg("hard.dsk", "a.dsk");
        QTest::newRow("a symbolic link to the image")
            << QStringList{"--write-image", "link.dsk", "a.dsk"} << 2 << read.arg("link.dsk", "a.dsk");
        QTest::newRow("a later read of a merge")
            << QStringList{"--merge", "--write-image", "b.dsk", "a.dsk", "b.dsk"} << 2 << read.arg("b.dsk", "b.dsk");
        QTest::newRow("the output root") << QStringList{"--write-image", "out/best.dsk", "a.dsk"} << 2
                                         << inside.arg("out/best.dsk", "out");
        QTest::newRow("an image folder") << QStringList{"--write-image", "out/a/a.tap", "a.dsk"} << 2
                                         << inside.arg("out/a/a.tap", "out");
        QTest::newRow("a folder not made yet") << QStringList{"--write-image", "out/new/deeper/best.dsk", "a.dsk"}
                                               << 2 << inside.arg("out/new/deeper/best.dsk", "out");
        QTest::newRow("the root spelled through ..")
            << QStringList{"--output", "./x/../out", "--write-image", "out/best.dsk", "a.dsk"} << 2
            << inside.arg("out/best.dsk", "./x/../out");
        QTest::newRow("the root through a link")
            << QStringList{"--output", "outlink", "--write-image", "out/best.dsk", "a.dsk"} << 2
            << inside.arg("out/best.dsk", "outlink");
        QTest::newRow("beside the output tree")
            << QStringList{"--write-image", "best.dsk", "a.dsk"} << 0 << QString();
        QTest::newRow("in a folder named like the root")
            << QStringList{"--write-image", "out2/best.dsk", "a.dsk"} << 0 << QString();
        QTest::newRow("a root not made yet")
            << QStringList{"--output", "fresh/out", "--write-image", "best.dsk", "a.dsk"} << 0 << QString();
        QTest::newRow("merged beside the reads")
            << QStringList{"--merge", "--write-image", "best.dsk", "a.dsk", "b.dsk"} << 0 << QString();
    }

    void bestImagePlace()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, status);
        QFETCH(QString, error);
        const QString dir = folder("place");
        const QByteArray a = diskOf("GAME", 1);
        const QByteArray b = diskOf("GAME", 1);
        QVERIFY(writeFile(dir + "/a.dsk", a) && writeFile(dir + "/b.dsk", b));
        QCOMPARE(::link(QFile::encodeName(dir + "/a.dsk").constData(), QFile::encodeName(dir + "/hard.dsk").constData()), 0);
        QVERIFY(QFile::link("a.dsk", dir + "/link.dsk"));
        QVERIFY(QFile::link("out", dir + "/outlink"));
        for (const char *sub : {"x", "out/a", "out2"})
            QVERIFY(QDir(dir).mkpath(sub));
        const QMap<QString, QByteArray> before = treeOf(dir);
        if (!arguments.contains("--output"))
            arguments = QStringList{"--output", "out"} + arguments;

        const ToolRun run = runTool(QStringList{"--quiet"} + arguments, dir);
        QCOMPARE(run.exitCode, status);
        if (status == 2) {
            QCOMPARE(run.err, "malvore-rescue: " + error + "\n");
            QCOMPARE(treeOf(dir), before); // nothing written, nothing replaced
        } else {
            QCOMPARE(run.err, QString());
            const QString best = arguments.at(arguments.indexOf("--write-image") + 1);
            QVERIFY(readFile(dir + "/" + best).startsWith("EXTENDED CPC DSK File"));
            QCOMPARE(readFile(dir + "/a.dsk"), a);
            QCOMPARE(readFile(dir + "/b.dsk"), b);
        }
    }

    // An input that turns into a FIFO while the run looks at it is refused,
    // never waited on: a writer-less FIFO would block an open or a read
    // forever. The input is swapped between a disk image and a FIFO all the
    // while the tool reads it again and again.
    void inputSwappedForAFifoNeverBlocks()
    {
        const QString dir = folder("swap");
        const QByteArray image = diskOf("GAME", 3);
        QVERIFY(writeFile(dir + "/keep.dsk", image));
        QCOMPARE(mkfifo(QFile::encodeName(dir + "/keep.fifo").constData(), 0600), 0);
        const QByteArray input = QFile::encodeName(dir + "/input.dsk");
        const QByteArray other = QFile::encodeName(dir + "/other");
        QCOMPARE(::link(QFile::encodeName(dir + "/keep.dsk").constData(), input.constData()), 0);
        QCOMPARE(::link(QFile::encodeName(dir + "/keep.fifo").constData(), other.constData()), 0);

        // Each exchange of the two names turns the input into the other
        // kind at once, as fast as the file system allows.
        const auto exchange = [&]() {
            return ::renameat2(AT_FDCWD, input.constData(), AT_FDCWD, other.constData(), RENAME_EXCHANGE) == 0;
        };
        if (!exchange() || !exchange())
            QSKIP("this file system cannot exchange two names");
        std::atomic<bool> swapping{true};
        std::thread swapper([&]() {
            while (swapping)
                exchange();
        });
        const int reads = 2000;
        QStringList arguments{"--quiet", "--jobs", "4", "--output", "out"};
        for (int i = 0; i < reads; ++i)
            arguments << "input.dsk";
        QProcess process;
        process.setWorkingDirectory(dir);
        process.start(QStringLiteral(MALVORE_RESCUE_PATH), arguments);
        const bool finished = process.waitForFinished(30000);
        if (!finished) {
            process.kill();
            process.waitForFinished();
        }
        swapping = false;
        swapper.join();
        QVERIFY2(finished, "the run waited on a FIFO");

        // Every read either rescued the image or refused the FIFO.
        const QStringList errors = linesOf(QString::fromUtf8(process.readAllStandardError()));
        for (const QString &line : errors)
            QCOMPARE(line, QString("malvore-rescue: input.dsk: refused: Not a regular file (a FIFO); not read."));
        QCOMPARE(process.exitCode(), errors.isEmpty() ? 0 : 1);
        int rescued = 0;
        for (const QString &name : QDir(dir + "/out").entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
            QCOMPARE(readFile(dir + "/out/" + name + "/GAME.cod"), tosdisk::codeFile(32768, 600, 3).mid(5));
            ++rescued;
        }
        QCOMPARE(rescued + errors.size(), reads);
    }

    // Images whose names are not valid UTF-8 are read and rescued; each
    // byte that is not valid text is shown as its Latin-1 character, and
    // the log says so. When that text is another image's name, '_' stands
    // for the byte instead.
    void namesThatAreNotText_data()
    {
        QTest::addColumn<QList<QByteArray>>("names");  // the images' names, in the order given
        QTest::addColumn<QStringList>("folders");      // where each was rescued
        QTest::addColumn<QStringList>("notes");        // log lines about names
        QTest::newRow("Latin-1") << QList<QByteArray>{"e\xe4.dsk"} << QStringList{"e\u00e4"}
                                 << QStringList{"The file name \"e\\xe4.dsk\" is not valid UTF-8: the image is known "
                                                "as \"e\u00e4.dsk\" in the log and in the name of its folder"};
        QTest::newRow("among valid UTF-8") << QList<QByteArray>{"\xc3\xa4-\xff\xfe.dsk"}
                                           << QStringList{"\u00e4-\u00ff\u00fe"}
                                           << QStringList{"The file name \"\\xc3\\xa4-\\xff\\xfe.dsk\" is not valid "
                                                          "UTF-8: the image is known as \"\u00e4-\u00ff\u00fe.dsk\" "
                                                          "in the log and in the name of its folder"};
        QTest::newRow("beside its UTF-8 twin")
            << QList<QByteArray>{"e\xe4.dsk", "e\xc3\xa4.dsk"} << QStringList{"e_", "e\u00e4"}
            << QStringList{"The file name \"e\\xe4.dsk\" is not valid UTF-8: the image is known as \"e_.dsk\" in "
                           "the log and in the name of its folder"};
        QTest::newRow("valid UTF-8 alone") << QList<QByteArray>{"\xc3\xa4.dsk"} << QStringList{"\u00e4"}
                                           << QStringList{};
    }

    void namesThatAreNotText()
    {
        QFETCH(QList<QByteArray>, names);
        QFETCH(QStringList, folders);
        QFETCH(QStringList, notes);
        const QString dir = folder("names");
        QList<QByteArray> arguments{"--output", QFile::encodeName(dir + "/out")};
        for (int i = 0; i < names.size(); ++i) {
            const QByteArray path = QFile::encodeName(dir) + '/' + names.at(i);
            QVERIFY(writeRawFile(path, diskOf("GAME", quint32(10 + i))));
            arguments << path;
        }
        const InProcessRun run = runArguments(arguments);
        QVERIFY2(run.status == 0, qPrintable(run.err));
        QCOMPARE(run.err, QString());
        for (int i = 0; i < folders.size(); ++i)
            QCOMPARE(readFile(dir + "/out/" + folders.at(i) + "/GAME.cod"),
                     tosdisk::codeFile(32768, 600, quint32(10 + i)).mid(5));
        QCOMPARE(QDir(dir + "/out").entryList(QDir::Dirs | QDir::NoDotAndDotDot).size(), folders.size());
        QStringList said;
        for (const QString &line : linesOf(run.out))
            if (line.startsWith("The file name "))
                said << line;
        QCOMPARE(said, notes);
    }

    // The same through the program itself, its argv as a shell passes it.
    void programTakesNamesThatAreNotText()
    {
        const QString dir = folder("argv");
        QVERIFY(writeRawFile(QFile::encodeName(dir) + "/e\xe4.dsk", diskOf("GAME", 4)));
        QProcess shell;
        shell.setWorkingDirectory(dir);
        shell.start("/bin/sh", {"-c", "exec \"$0\" --quiet --output out \"$(printf 'e\\344.dsk')\"",
                                QStringLiteral(MALVORE_RESCUE_PATH)});
        QVERIFY(shell.waitForFinished(60000));
        QCOMPARE(QString::fromUtf8(shell.readAllStandardError()), QString());
        QCOMPARE(shell.exitCode(), 0);
        QCOMPARE(readFile(dir + "/out/e\u00e4/GAME.cod"), tosdisk::codeFile(32768, 600, 4).mid(5));
    }

    // A catalog or image name a spreadsheet would take for a formula
    // reaches the reports as text: an apostrophe before it.
    void formulaNamesStayText_data()
    {
        QTest::addColumn<QByteArray>("name");  // of the catalog's one file
        QTest::addColumn<QString>("image");    // the image's base name, the supplier of its sectors
        QTest::addColumn<QString>("nameCell"); // unquoted
        QTest::addColumn<QString>("supplierCell");
        QTest::newRow("equals") << QByteArray("=1+2") << "F" << "'=1+2" << "F";
        QTest::newRow("plus") << QByteArray("+A1") << "F" << "'+A1" << "F";
        QTest::newRow("minus") << QByteArray("-A1") << "F" << "'-A1" << "F";
        QTest::newRow("at") << QByteArray("@SUM") << "F" << "'@SUM" << "F";
        QTest::newRow("with a comma") << QByteArray("=1,2") << "F" << "'=1,2" << "F";
        QTest::newRow("image named with equals") << QByteArray("GAME") << "=F" << "GAME" << "'=F";
        QTest::newRow("image named with a tab") << QByteArray("GAME") << "\tF" << "GAME" << "'\tF";
        QTest::newRow("image named with a carriage return") << QByteArray("GAME") << "\rF" << "GAME" << "'\rF";
        QTest::newRow("signs inside only") << QByteArray("A=B-C") << "F" << "A=B-C" << "F";
    }

    void formulaNamesStayText()
    {
        QFETCH(QByteArray, name);
        QFETCH(QString, image);
        QFETCH(QString, nameCell);
        QFETCH(QString, supplierCell);
        const QString dir = folder("formula");
        QVERIFY(writeFile(dir + "/" + image + ".dsk", diskOf(name, 5)));
        const ToolRun run = runTool({"--quiet", "--report", "--output", "out", image + ".dsk"}, dir);
        QCOMPARE(run.exitCode, 0);
        // The folder and the reports have no control character in their names.
        const QString mended = QString(image).replace('\t', '_').replace('\r', '_');
        const QString base = dir + "/out/" + mended + "/" + mended;
        const QStringList files = QString::fromUtf8(readFile(base + ".files.csv")).split("\r\n");
        QCOMPARE(cellsOf(files.value(1)).value(0), nameCell);
        const QString file = cellsOf(files.value(1)).value(1); // the path written, made from the name
        QVERIFY2(!file.isEmpty() && !QString("=+-@\t\r").contains(file.at(0)), qPrintable(file));
        QStringList sectors = QString::fromUtf8(readFile(base + ".sectors.csv")).split("\r\n");
        sectors.removeAll(QString());
        QVERIFY(sectors.size() > 1);
        int owned = 0;
        for (const QString &line : sectors.mid(1)) {
            const QStringList cells = cellsOf(line);
            QCOMPARE(cells.value(6), supplierCell);
            owned += cells.value(7) == nameCell;
        }
        QVERIFY(owned > 0);
    }
};

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    TestInputs test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_inputs.moc"
