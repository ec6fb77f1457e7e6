#include "imagebuilder.h"
#include "mainwindow.h"
#include "logrender.h"
#include "batchtestutil.h"
#include "rescuecli.h"
#include "rescuetestutil.h"
#include "tosdisk.h"

#include <QAction>
#include <QApplication>
#include <QCommandLineOption>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QMenu>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextEdit>
#include <QTextStream>

#include <algorithm>

using namespace batchtest;

Q_DECLARE_METATYPE(ParsedArguments::Action)

// The headless batch rescue: its command line, its log on a terminal, its
// exit statuses and its outputs next to the window's.
class TestBatch : public QObject
{
    Q_OBJECT

    QTemporaryDir scratch;

    QString imagePath(const QString &name, const QByteArray &bytes)
    {
        const QString path = scratch.filePath(name);
        if (!writeFile(path, bytes))
            qFatal("cannot write %s", qPrintable(path));
        return path;
    }

    QString freshFolder(const QString &name)
    {
        const QString path = scratch.filePath(name);
        QDir(path).removeRecursively();
        QDir().mkpath(path);
        return path;
    }

private slots:
    void initTestCase() { QVERIFY(scratch.isValid()); }

    // ---- command line ---------------------------------------------------

    void acceptedCommandLines_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("outputRoot");
        QTest::addColumn<LogFormat>("format");
        QTest::addColumn<bool>("quiet");
        QTest::addColumn<QStringList>("images");

        QTest::newRow("defaults") << QStringList{"a.dsk"} << "." << LogFormat::Plain << false
                                  << QStringList{"a.dsk"};
        QTest::newRow("every option")
            << QStringList{"--output", "out", "--log-format", "html", "--quiet", "a.dsk", "b.dsk"}
            << "out" << LogFormat::Html << true << QStringList{"a.dsk", "b.dsk"};
        QTest::newRow("joined values") << QStringList{"--output=o/p", "--log-format=plain", "x.dsk"}
                                       << "o/p" << LogFormat::Plain << false << QStringList{"x.dsk"};
        QTest::newRow("options after images")
            << QStringList{"b.dsk", "--output", "r", "a.dsk", "--log-format", "html"} << "r"
            << LogFormat::Html << false << QStringList{"b.dsk", "a.dsk"};
        QTest::newRow("double dash ends options")
            << QStringList{"--quiet", "--", "--output", "-x.dsk"} << "." << LogFormat::Plain << true
            << QStringList{"--output", "-x.dsk"};
        QTest::newRow("lone dash is an image") << QStringList{"-"} << "." << LogFormat::Plain << false
                                               << QStringList{"-"};
    }

    void acceptedCommandLines()
    {
        QFETCH(QStringList, arguments);
        const ParsedArguments parsed = parseBatchArguments(arguments);
        QCOMPARE(parsed.action, ParsedArguments::Rescue);
        QTEST(parsed.options.outputRoot, "outputRoot");
        QTEST(parsed.options.logFormat, "format");
        QTEST(parsed.options.quiet, "quiet");
        QTEST(parsed.options.images, "images");
    }

    void refusedCommandLines_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("reason");

        QTest::newRow("nothing") << QStringList() << "no image given";
        QTest::newRow("options only") << QStringList{"--quiet", "--output", "o"} << "no image given";
        QTest::newRow("unknown option") << QStringList{"--bogus", "a.dsk"} << "unknown option --bogus";
        QTest::newRow("unknown short option") << QStringList{"a.dsk", "-q"} << "unknown option -q";
        QTest::newRow("output without value") << QStringList{"a.dsk", "--output"}
                                              << "missing value for --output";
        QTest::newRow("output followed by an option")
            << QStringList{"--output", "--quiet", "a.dsk"} << "missing value for --output";
        QTest::newRow("empty joined output") << QStringList{"--output=", "a.dsk"}
                                             << "missing value for --output";
        QTest::newRow("log format without value") << QStringList{"a.dsk", "--log-format"}
                                                  << "missing value for --log-format";
        QTest::newRow("unknown log format") << QStringList{"--log-format", "xml", "a.dsk"}
                                            << "unknown log format \"xml\" (plain or html)";
    }

    void refusedCommandLines()
    {
        QFETCH(QStringList, arguments);
        const ParsedArguments parsed = parseBatchArguments(arguments);
        QCOMPARE(parsed.action, ParsedArguments::UsageError);
        QTEST(parsed.error, "reason");
    }

    void helpAndVersionWinOverTheRest()
    {
        QCOMPARE(parseBatchArguments({"a.dsk", "--help", "--bogus"}).action, ParsedArguments::ShowHelp);
        QCOMPARE(parseBatchArguments({"-h"}).action, ParsedArguments::ShowHelp);
        QCOMPARE(parseBatchArguments({"--version", "--output"}).action, ParsedArguments::ShowVersion);
        // An option error met first is reported as such.
        QCOMPARE(parseBatchArguments({"--bogus", "--help"}).action, ParsedArguments::UsageError);
    }

    void jobs_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("jobs");
        QTest::addColumn<QString>("reason"); // empty: accepted

        QTest::newRow("default: the number of cores") << QStringList{"a.dsk"} << 0 << QString();
        QTest::newRow("one") << QStringList{"--jobs", "1", "a.dsk"} << 1 << QString();
        QTest::newRow("four, after the images") << QStringList{"a.dsk", "--jobs", "4"} << 4 << QString();
        QTest::newRow("joined") << QStringList{"--jobs=8", "a.dsk"} << 8 << QString();
        QTest::newRow("the most") << QStringList{"--jobs", "256", "a.dsk"} << maximumJobs << QString();
        QTest::newRow("the last one counts") << QStringList{"--jobs", "2", "--jobs", "3", "a.dsk"} << 3 << QString();
        QTest::newRow("leading zero") << QStringList{"--jobs", "016", "a.dsk"} << 16 << QString();
        QTest::newRow("zero") << QStringList{"--jobs", "0", "a.dsk"} << 0 << "invalid value for --jobs: 0";
        QTest::newRow("too many") << QStringList{"--jobs", "257", "a.dsk"} << 0 << "invalid value for --jobs: 257";
        QTest::newRow("negative") << QStringList{"--jobs", "-1", "a.dsk"} << 0 << "invalid value for --jobs: -1";
        QTest::newRow("plus sign") << QStringList{"--jobs", "+2", "a.dsk"} << 0 << "invalid value for --jobs: +2";
        QTest::newRow("not a number") << QStringList{"--jobs", "many", "a.dsk"} << 0
                                      << "invalid value for --jobs: many";
        QTest::newRow("fraction") << QStringList{"--jobs=2.5", "a.dsk"} << 0 << "invalid value for --jobs: 2.5";
        QTest::newRow("blank") << QStringList{"--jobs", " 2", "a.dsk"} << 0 << "invalid value for --jobs:  2";
        QTest::newRow("overflow") << QStringList{"--jobs", "99999999999", "a.dsk"} << 0
                                  << "invalid value for --jobs: 99999999999";
        QTest::newRow("last argument") << QStringList{"a.dsk", "--jobs"} << 0 << "missing value for --jobs";
        QTest::newRow("empty joined") << QStringList{"--jobs=", "a.dsk"} << 0 << "missing value for --jobs";
        QTest::newRow("followed by an option") << QStringList{"--jobs", "--quiet", "a.dsk"} << 0
                                               << "missing value for --jobs";
    }

    void jobs()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, reason);
        const ParsedArguments parsed = parseBatchArguments(arguments);
        QCOMPARE(parsed.error, reason);
        QCOMPARE(parsed.action, reason.isEmpty() ? ParsedArguments::Rescue : ParsedArguments::UsageError);
        if (reason.isEmpty())
            QTEST(parsed.options.mode.jobs, "jobs");
    }

    // The help is made from the options the parser takes: an option added
    // without a description, or left out of the synopsis, fails here.
    void usageListsEveryOption()
    {
        const QString usage = batchUsage();
        const QStringList lines = usage.split('\n');
        const int options = lines.indexOf("Options:");
        QVERIFY2(options > 0, qPrintable(usage));
        const QString synopsis = lines.mid(0, options).join('\n');
        const QStringList list = lines.mid(options + 1);

        const QList<QCommandLineOption> accepted = batchOptions();
        QVERIFY(accepted.size() >= 10);
        for (const QCommandLineOption &option : accepted) {
            const QString name = option.names().constLast();
            const QString spelled = "--" + name;
            // The parser knows it.
            const ParsedArguments parsed = parseBatchArguments({spelled, "x", "a.dsk"});
            QVERIFY2(!parsed.error.startsWith("unknown option"), qPrintable(spelled));

            QVERIFY2(!option.description().isEmpty(), qPrintable(spelled));
            // Its line: the names, its value, the start of its description.
            QString head = spelled;
            if (!option.valueName().isEmpty())
                head += ' ' + option.valueName();
            const auto line = std::find_if(list.begin(), list.end(), [&](const QString &text) {
                return text.startsWith("  ") && text.contains(head + ' ');
            });
            QVERIFY2(line != list.end(), qPrintable(spelled));
            const QString firstWords = option.description().section(' ', 0, 1);
            QVERIFY2(line->contains(firstWords), qPrintable(*line));
            // The whole description, wrapped over lines of its own.
            QVERIFY2(usage.simplified().contains(option.description().simplified()), qPrintable(spelled));

            // Help and version are requests; everything else is in the synopsis.
            if (name != "help" && name != "version")
                QVERIFY2(synopsis.contains('[' + head + ']'), qPrintable(spelled));
        }
        QVERIFY(synopsis.contains("[--jobs N]"));
        QVERIFY(usage.simplified().contains("--jobs N convert images on N threads; default: the number of cores"));
        QVERIFY(usage.contains("  -h, --help "));
    }

    void usageFitsATerminal()
    {
        const QString usage = batchUsage();
        QVERIFY(usage.startsWith("Usage: malvore-rescue [--output DIR] [--log-format plain|html] [--quiet] IMAGE...\n"
                                 "                      [--salvage] [--merge] [--write-image FILE] [--report]\n"));
        QVERIFY(usage.endsWith("Exit status: 0 every image rescued; 1 an image refused, not converted or\n"
                               "not completely written; 2 usage error.\n"));
        // Only the synopsis' first line, as it always read, is wider.
        const QStringList lines = usage.split('\n');
        for (int i = 1; i < lines.size(); ++i)
            QVERIFY2(lines.at(i).size() <= 80, qPrintable(lines.at(i)));
        // Descriptions wrap under their column.
        const int column = lines.filter("  --output DIR").value(0).indexOf("output root");
        QVERIFY(column > 0);
        for (const QString &line : lines.mid(lines.indexOf("Options:") + 1)) {
            if (line.startsWith("Exit status"))
                break;
            QVERIFY2(line.startsWith("  -") || line.indexOf(QRegularExpression("\\S")) == column, qPrintable(line));
        }
    }

    // The window's Rescue menu offers what --salvage, --merge, --write-image
    // and --report do, after its output folder commands.
    void windowMenuHasTheSalvageCommands()
    {
        MainWindow window;
        const QMenu *menu = window.findChild<QMenu *>("menuRescue");
        QVERIFY(menu);
        QStringList names;
        for (const QAction *action : menu->actions())
            names << (action->isSeparator() ? QString("|") : action->objectName());
        QCOMPARE(names, QStringList({"actionOutput_folder", "actionOpen_output_folder", "|", "actionSalvage",
                                     "actionMerge", "actionSave_merged_image", "actionExport_sector_report", "|",
                                     "actionRescue_as_A2", "actionRescue_as_A4", "actionUndelete"}));
        const QList<QAction *> actions = menu->actions().mid(3, 4);
        const QStringList texts = {"&Salvage damaged sectors", "&Merge reads", "Save merged &image…",
                                   "&Export sector report…"};
        for (int i = 0; i < actions.size(); ++i) {
            QCOMPARE(actions.at(i)->text(), texts.at(i));
            QVERIFY2(actions.at(i)->shortcut().isEmpty(), qPrintable(texts.at(i)));
            QCOMPARE(actions.at(i)->isCheckable(), i == 0);
        }
        // Nothing selected: nothing to merge, save or report.
        for (const QAction *action : actions.mid(1))
            QVERIFY2(!action->isEnabled(), qPrintable(action->objectName()));
    }

    // ---- log rendering --------------------------------------------------

    void plainRendering_data()
    {
        QTest::addColumn<LogEntry>("entry");
        QTest::addColumn<QString>("plain");
        QTest::addColumn<QString>("html");

        const LogEntry info = LogEntry::info();
        QTest::newRow("opening line")
            << LogEntry(info).lineBreak().rule().text("Opening file \"").strongEmphasis("disk").text("\"")
            << "\n" + rule + "\nOpening file \"disk\"" << "<br><hr>Opening file \"<b><i>disk</i></b>\"";
        QTest::newRow("geometry lines")
            << LogEntry(info).text("tracks: 80").lineBreak().text("sides: 2").lineBreak().text("track size: 4096")
            << "tracks: 80\nsides: 2\ntrack size: 4096" << "tracks: 80<br>sides: 2<br>track size: 4096";
        QTest::newRow("conversion header") << LogEntry(info).rule().text("3 image(s) selelcted to conversion")
                                           << rule + "\n3 image(s) selelcted to conversion"
                                           << "<hr>3 image(s) selelcted to conversion";
        QTest::newRow("image line") << LogEntry(info).lineBreak().text("Image ").strong("GAMES").text(" :")
                                    << "\nImage GAMES :" << "<br>Image <b>GAMES</b> :";
        QTest::newRow("markup characters are text")
            << LogEntry(info).text("<b> \"x\" a&b &lt;") << "<b> \"x\" a&b &lt;"
            << "&lt;b> \"x\" a&amp;b &amp;lt;";
        QTest::newRow("a name that looks like a tag") << LogEntry(info).strong("<hr>X") << "<hr>X"
                                                      << "<b>&lt;hr>X</b>";
        QTest::newRow("trailing blank kept") << LogEntry(info).text("file LOADER.B ") << "file LOADER.B "
                                             << "file LOADER.B ";
        QTest::newRow("empty entry is an empty line") << LogEntry(info) << "" << "";
        QTest::newRow("rule ends a line") << LogEntry(info).text("before").rule() << "before\n" + rule
                                          << "before<hr>";
        QTest::newRow("two rules") << LogEntry(info).rule().rule() << rule + "\n" + rule << "<hr><hr>";
        QTest::newRow("break after rule") << LogEntry(info).rule().lineBreak().text("x") << rule + "\n\nx"
                                          << "<hr><br>x";
        QTest::newRow("newline in a name stays on the line")
            << LogEntry(info).text("one\ntwo") << "one\\x0atwo" << "one\\ntwo";
        QTest::newRow("control characters escaped")
            << LogEntry(info).text(QString("a\x1b[31mb\rc\td\x7f") + QChar(0x9b))
            << "a\\x1b[31mb\\x0dc\\x09d\\x7f\\x9b" << "a&#x1b;[31mb&#x0d;c&#x09;d&#x7f;&#x9b;";
    }

    void plainRendering()
    {
        QFETCH(LogEntry, entry);
        QTEST(logEntryPlain(entry), "plain");
        QTEST(logEntryHtmlLine(entry), "html");
    }

    void logWritesOneLinePerEntry()
    {
        QString out;
        QString err;
        QTextStream outStream(&out);
        QTextStream errStream(&err);
        BatchLog html(LogFormat::Html, false, outStream, errStream);
        html.entry(LogEntry::info().rule().text("a\nb"));
        html.entry(LogEntry::info());
        html.entry(LogEntry::info().strong("c"));
        BatchLog plain(LogFormat::Plain, false, outStream, errStream);
        plain.entry(LogEntry::info().strong("c").text("&").lineBreak().text("d"));
        outStream.flush();
        QCOMPARE(out, QString("<hr>a\\nb\n\n<b>c</b>\nc&\nd\n"));
        QVERIFY(err.isEmpty());
        QCOMPARE(html.errors() + plain.errors(), 0);
    }

    void quietLogKeepsOnlyErrors()
    {
        QString out;
        QString err;
        QTextStream outStream(&out);
        QTextStream errStream(&err);
        BatchLog log(LogFormat::Plain, true, outStream, errStream);
        log.entry(LogEntry::info().rule().text("1 image(s) selelcted to conversion"));
        log.error("x.dsk: refused: Unknown file format.");
        outStream.flush();
        QVERIFY(out.isEmpty());
        QCOMPARE(err, QString("malvore-rescue: x.dsk: refused: Unknown file format.\n"));
        QCOMPARE(log.errors(), 1);
    }

    // ---- the executable -------------------------------------------------

    void helpAndVersion()
    {
        const QString cwd = freshFolder("help");
        const ToolRun help = runTool({"--help"}, cwd);
        QCOMPARE(help.exitCode, 0);
        QVERIFY(help.out.startsWith(
            "Usage: malvore-rescue [--output DIR] [--log-format plain|html] [--quiet] IMAGE...\n"));
        QVERIFY(help.err.isEmpty());
        const ToolRun version = runTool({"--version"}, cwd);
        QCOMPARE(version.exitCode, 0);
        QCOMPARE(version.out, QString("TOS Malvore 0.1.0\n"));
        QVERIFY(QDir(cwd).isEmpty());
    }

    void usageErrorsExitWithTwo_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("reason");
        QTest::newRow("no image") << QStringList{"--quiet"} << "no image given";
        QTest::newRow("unknown option") << QStringList{"--frobnicate", "a.dsk"} << "unknown option --frobnicate";
        QTest::newRow("missing value") << QStringList{"a.dsk", "--output"} << "missing value for --output";
        QTest::newRow("invalid jobs") << QStringList{"--jobs", "0", "a.dsk"} << "invalid value for --jobs: 0";
    }

    void usageErrorsExitWithTwo()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, reason);
        const QString cwd = freshFolder("usage");
        imagePath("a.dsk", smallTosDisk());
        const ToolRun run = runTool(arguments, cwd);
        QCOMPARE(run.exitCode, 2);
        QVERIFY(run.out.isEmpty());
        const QStringList err = linesOf(run.err);
        QVERIFY(err.size() > 1);
        QCOMPARE(err.at(0), "malvore-rescue: " + reason);
        QVERIFY(err.at(1).startsWith("Usage: malvore-rescue "));
        QVERIFY(QDir(cwd).isEmpty());
    }

    void rescuedImageExitsWithZero()
    {
        const QString cwd = freshFolder("zero");
        const QString image = imagePath("ZEROTEST.dsk", smallTosDisk());
        const ToolRun run = runTool({image}, cwd);
        QCOMPARE(run.exitCode, 0);
        QVERIFY2(run.err.isEmpty(), qPrintable(run.err));
        // The default output root is the current folder.
        QVERIFY(QFile::exists(cwd + "/ZEROTEST/ZEROTEST.tap"));
        QVERIFY(QFile::exists(cwd + "/ZEROTEST/LOADER.B.bas.inf"));
        QVERIFY(inOrder(linesOf(run.out), {"Opening file \"ZEROTEST\"", "Detected DSK file, created by \"TestBuilder\"",
                                           "tracks: 40", "sides: 1", "track size: 4096",
                                           "sectors (calculated): 640", "sectors (imported)  : 639", rule,
                                           "1 image(s) selelcted to conversion", "", "Image ZEROTEST :",
                                           "file LOADER.B ", "file GAME.C has 1 bad sector(s) ",
                                           "Found 1 lost block(s)"}));
    }

    void failuresExitWithOne_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("error");
        QTest::newRow("not an image") << QByteArray(3000, 'x') << "refused: Unknown file format.";
        QTest::newRow("refused geometry") << [] {
            ImageBuilder image(43, 1);
            return image.dsk();
        }() << "refused: Not a TOS disk : one side and more than 42 tracks...; Unknown file format.";
        QTest::newRow("CP/M") << tosdisk::cpmDisk() << "refused: CPM disks are not supported";
        QTest::newRow("unknown layout") << tosdisk::blankDisk(40, 1) << "TOS layout unknown; not converted";
    }

    // A failing image does not stop the others: the good one is rescued.
    void failuresExitWithOne()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, error);
        const QString cwd = freshFolder("one");
        const QString bad = imagePath("BAD.dsk", bytes);
        const QString good = imagePath("GOOD.dsk", smallTosDisk());
        const ToolRun run = runTool({"--output", "rescued", bad, good}, cwd);
        QCOMPARE(run.exitCode, 1);
        QCOMPARE(run.err, "malvore-rescue: " + bad + ": " + error + "\n");
        QVERIFY(QFile::exists(cwd + "/rescued/GOOD/GOOD.tap"));
        QVERIFY(!QFile::exists(cwd + "/rescued/BAD"));
    }

    void missingImageExitsWithOne()
    {
        const QString cwd = freshFolder("missing");
        const ToolRun run = runTool({"nowhere.dsk"}, cwd);
        QCOMPARE(run.exitCode, 1);
        QCOMPARE(run.err, QString("malvore-rescue: nowhere.dsk: refused: cannot read the file\n"));
        QVERIFY(linesOf(run.out).contains("Unknown file format."));
    }

    void writeFailureExitsWithOne()
    {
        const QString cwd = freshFolder("unwritable");
        QVERIFY(writeFile(cwd + "/plain", "a regular file"));
        const QString image = imagePath("WRITE.dsk", smallTosDisk());
        const ToolRun run = runTool({"--output", "plain/below", image}, cwd);
        QCOMPARE(run.exitCode, 1);
        const QStringList err = linesOf(run.err);
        QVERIFY(!err.isEmpty());
        QVERIFY2(err.first().startsWith("malvore-rescue: " + image + ": cannot write plain/below/WRITE/: "),
                 qPrintable(err.first()));
        QVERIFY(err.filter("malvore-rescue: " + image + ": cannot write plain/below/WRITE/WRITE.tap: ").size() == 1);
        // The log still tells the whole conversion.
        QVERIFY(inOrder(rescuetest::withoutReasons(linesOf(run.out)), {"Image WRITE :", "Cannot write plain/below/WRITE/",
                                           "file LOADER.B ", "Found 1 lost block(s)"}));
        QCOMPARE(readFile(cwd + "/plain"), QByteArray("a regular file"));
    }

    void quietPrintsOnlyErrors()
    {
        const QString cwd = freshFolder("quiet");
        const QString good = imagePath("QUIET.dsk", smallTosDisk());
        ToolRun run = runTool({"--quiet", good}, cwd);
        QCOMPARE(run.exitCode, 0);
        QVERIFY(run.out.isEmpty());
        QVERIFY(run.err.isEmpty());
        QVERIFY(QFile::exists(cwd + "/QUIET/QUIET.tap"));

        const QString cpm = imagePath("QUIETCPM.dsk", tosdisk::cpmDisk());
        run = runTool({"--quiet", cpm, good}, cwd);
        QCOMPARE(run.exitCode, 1);
        QVERIFY(run.out.isEmpty());
        QCOMPARE(run.err, "malvore-rescue: " + cpm + ": refused: CPM disks are not supported\n");
    }

    void htmlLogHasTheWindowsAppends()
    {
        tosdisk::Disk disk;
        disk.files.append({0, "A\nB", "X", tosdisk::plainData(300, 3), {}, {}});
        const QString image = imagePath("HTML.dsk", tosdisk::build(disk));
        const QString cwd = freshFolder("html");
        const ToolRun run = runTool({"--log-format", "html", image}, cwd);
        QCOMPARE(run.exitCode, 0);
        const QStringList lines = linesOf(run.out);
        QCOMPARE(lines.first(), QString("<br><hr>Opening file \"<b><i>HTML</i></b>\""));
        QVERIFY(lines.contains("tracks: 40<br>sides: 1<br>track size: 4096"));
        QVERIFY(inOrder(lines, {"<hr>1 image(s) selelcted to conversion", "<br>Image <b>HTML</b> :",
                                "file A\\nB.X ", "Found 0 lost block(s)"}));
        QVERIFY(QFile::exists(cwd + "/HTML/A_B.X.dat")); // no control character in a path
    }

    void imagesAreConvertedInCommandLineOrder()
    {
        const QString second = imagePath("ORDERB.dsk", smallTosDisk(1));
        const QString first = imagePath("ORDERA.dsk", smallTosDisk(2));
        const QString refused = imagePath("ORDERC.dsk", QByteArray("junk"));
        BatchOptions options;
        options.outputRoot = freshFolder("order");
        options.images = QStringList{second, refused, first};
        const InProcessRun run = runInProcess(options);
        QCOMPARE(run.status, 1);
        const QStringList lines = linesOf(run.out);
        QVERIFY(inOrder(lines, {"Opening file \"ORDERB\"", "Opening file \"ORDERC\"", "Unknown file format.",
                                "Opening file \"ORDERA\"", "2 image(s) selelcted to conversion",
                                "Image ORDERB :", "Image ORDERA :"}));
        QVERIFY(!inOrder(lines, {"Image ORDERA :", "Image ORDERB :"}));
    }

    // ---- earlier rescues in the same root -------------------------------

    // Another image of the same name never replaces or joins an earlier
    // rescue; a run of the same image again replaces its own.
    void earlierRescuesAreKeptApart()
    {
        QDir().mkpath(scratch.filePath("earlier/a"));
        QDir().mkpath(scratch.filePath("earlier/b"));
        const QString a = imagePath("earlier/a/disk.dsk", tosdisk::build(tosdisk::sampleDisk(40, 1, false, 201, 40)));
        const QString b = imagePath("earlier/b/disk.dsk", tosdisk::build(tosdisk::sampleDisk(40, 1, false, 202, 60)));
        BatchOptions options;
        options.outputRoot = freshFolder("earlier-root");
        options.images = QStringList{a};
        QCOMPARE(runInProcess(options).status, 0);
        const QMap<QString, QByteArray> first = treeOf(options.outputRoot);
        QVERIFY(!first.isEmpty());

        options.images = QStringList{b};
        const InProcessRun other = runInProcess(options);
        QCOMPARE(other.status, 0);
        QVERIFY2(linesOf(other.out).contains(QStringLiteral("The folder disk holds the rescue of another image (%1); "
                                                            "saved into disk~2")
                                                 .arg(QFileInfo(a).absoluteFilePath())),
                 qPrintable(other.out));
        QMap<QString, QByteArray> after = treeOf(options.outputRoot);
        for (auto it = first.constBegin(); it != first.constEnd(); ++it)
            QCOMPARE(after.value(it.key()), it.value()); // a's rescue untouched
        QVERIFY(std::any_of(after.keyBegin(), after.keyEnd(), [](const QString &path) { return path.startsWith("disk~2/"); }));
        QVERIFY(std::none_of(after.keyBegin(), after.keyEnd(), [&first](const QString &path) {
            return path.startsWith("disk/") && !first.contains(path);
        }));

        options.images = QStringList{a};
        const InProcessRun again = runInProcess(options);
        QVERIFY(!again.out.contains("saved into"));
        QCOMPARE(treeOf(options.outputRoot), after);
    }

    // Image folders are valid on every file system: names that differ only
    // in case are one folder on a FAT stick, and a final dot is dropped there.
    void imageFoldersValidEverywhere()
    {
        QDir().mkpath(scratch.filePath("fat/one"));
        QDir().mkpath(scratch.filePath("fat/two"));
        const QByteArray bytes = tosdisk::build(tosdisk::sampleDisk(40, 1, false, 203, 30));
        BatchOptions options;
        options.outputRoot = freshFolder("fat-root");
        options.images = QStringList{imagePath("fat/one/DISK.dsk", bytes), imagePath("fat/two/disk.dsk", bytes),
                                     imagePath("fat/one/dot..dsk", bytes)};
        const InProcessRun run = runInProcess(options);
        QCOMPARE(run.status, 0);
        QVERIFY2(linesOf(run.out).contains("The folder disk holds another image of this run; saved into disk~2"),
                 qPrintable(run.out));
        QCOMPARE(QDir(options.outputRoot).entryList(QDir::Dirs | QDir::NoDotAndDotDot),
                 QStringList({"DISK", "disk~2", "dot_"}));
    }

    // ---- the same outputs as the window's Save All ----------------------

    void sameTreeAsTheWindow_data()
    {
        QTest::addColumn<QStringList>("images");
        QTest::addColumn<int>("rescuedImages");

        QDir().mkpath(scratch.filePath("tree/one"));
        QDir().mkpath(scratch.filePath("tree/two"));
        tosdisk::Disk a2 = tosdisk::sampleDisk(40, 1, true, 101, 60);
        a2.extended = true;
        QStringList built{
            imagePath("tree/one/SMALLA4.dsk", tosdisk::build(tosdisk::sampleDisk(40, 1, false, 100, 60))),
            imagePath("tree/one/SMALLA2.dsk", tosdisk::build(a2)),
            imagePath("tree/one/CPM.dsk", tosdisk::cpmDisk()),
            imagePath("tree/one/BIGA2.dsk", tosdisk::build(tosdisk::sampleDisk(80, 2, true, 102, 50))),
            imagePath("tree/one/BLANK.dsk", tosdisk::blankDisk(40, 1)),
            imagePath("tree/one/BIGA4.dsk", tosdisk::build(tosdisk::sampleDisk(80, 2, false, 103, 70))),
            imagePath("tree/one/JUNK.dsk", QByteArray(5000, '\xE5')),
            // The same name twice: the later image replaces the earlier's files.
            imagePath("tree/one/TWICE.dsk", tosdisk::build(tosdisk::sampleDisk(40, 1, false, 104, 30))),
            imagePath("tree/two/TWICE.dsk", tosdisk::build(tosdisk::sampleDisk(40, 1, true, 105, 20))),
        };
        QTest::newRow("built images") << built << 5;

        const QDir samples(QStringLiteral(MALVORE_SAMPLES_DIR));
        QStringList sampleImages;
        for (const QString &name : samples.entryList({"*.dsk"}, QDir::Files, QDir::Name))
            sampleImages << samples.absoluteFilePath(name);
        if (!sampleImages.isEmpty())
            QTest::newRow("samples") << sampleImages << -1;
    }

    void sameTreeAsTheWindow()
    {
        QFETCH(QStringList, images);
        QFETCH(int, rescuedImages);

        const QString windowRoot = freshFolder("tree-window");
        MainWindow window;
        window.setOutputRoot(windowRoot);
        window.openImages(images);
        QAction *saveAll = window.findChild<QAction *>("actionSave_All");
        QVERIFY(saveAll);
        saveAll->trigger();
        const QMap<QString, QByteArray> expected = treeOf(windowRoot);

        BatchOptions options;
        options.images = images;
        options.outputRoot = freshFolder("tree-batch");
        options.logFormat = LogFormat::Html;
        const InProcessRun held = runInProcess(options);
        QCOMPARE(treeOf(options.outputRoot), expected);

        // A second run into another folder: same outputs, same log.
        options.outputRoot = freshFolder("tree-reread");
        const InProcessRun reread = runInProcess(options);
        QCOMPARE(treeOf(options.outputRoot), expected);
        QCOMPARE(reread.out, QString(held.out).replace("tree-batch", "tree-reread"));
        QCOMPARE(reread.status, held.status);

        // One thread or four: the same tree, log, problems and status.
        for (int jobs : {1, 4}) {
            options.mode.jobs = jobs;
            options.outputRoot = freshFolder(QStringLiteral("tree-jobs%1").arg(jobs));
            const InProcessRun threaded = runInProcess(options);
            QCOMPARE(treeOf(options.outputRoot), expected);
            const QString root = QStringLiteral("tree-jobs%1").arg(jobs);
            QCOMPARE(threaded.out, QString(held.out).replace("tree-batch", root));
            QCOMPARE(threaded.err, QString(held.err).replace("tree-batch", root));
            QCOMPARE(threaded.status, held.status);
        }
        options.mode.jobs = 0;

        // The appends are the window's: the same document results.
        QTextEdit replay;
        for (const QString &line : linesOf(held.out))
            replay.append(QString(line).replace("\\n", "\n"));
        // The window ends a Save with a summary of its own, the batch tool
        // with its exit status.
        QTextEdit *log = window.findChild<QTextEdit *>("log");
        QVERIFY(log->document()->lastBlock().text().startsWith("Rescued "));
        QTextCursor summary(log->document()->lastBlock());
        summary.select(QTextCursor::BlockUnderCursor);
        summary.removeSelectedText();
        QCOMPARE(replay.toHtml(), log->toHtml());

        // Not a vacuous match: each rescued image has its folder and archive.
        int archives = 0;
        for (auto it = expected.cbegin(); it != expected.cend(); ++it) {
            const QStringList parts = it.key().split('/');
            archives += parts.size() == 2 && parts.at(1) == parts.at(0) + ".tap";
        }
        if (rescuedImages >= 0)
            QCOMPARE(archives, rescuedImages);
        else
            QVERIFY(archives > 0);
        QVERIFY(expected.size() > 3 * archives);
    }
};

int main(int argc, char *argv[])
{
    QCoreApplication::setOrganizationName(QStringLiteral("kestrin"));
    QCoreApplication::setApplicationName(QStringLiteral("malvore"));
    QApplication app(argc, argv);
    TestBatch test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_batch.moc"
