#include "mainwindow.h"
#include "windowarguments.h"

#include "imagebuilder.h"

#include <QApplication>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTextEdit>
#include <QTextStream>

Q_DECLARE_METATYPE(WindowArguments::Action)

// The window's command line: what it asks for, what it prints, and the
// images it opens.
class TestCommandLine : public QObject
{
    Q_OBJECT

    QTemporaryDir files;

private slots:
    void parsing_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<WindowArguments::Action>("action");
        QTest::addColumn<QStringList>("images");

        QTest::newRow("nothing") << QStringList() << WindowArguments::OpenWindow << QStringList();
        QTest::newRow("files in order") << QStringList({"b.dsk", "/x/a.DSK", "c d.edsk"})
                                        << WindowArguments::OpenWindow
                                        << QStringList({"b.dsk", "/x/a.DSK", "c d.edsk"});
        QTest::newRow("--help") << QStringList({"--help"}) << WindowArguments::ShowHelp << QStringList();
        QTest::newRow("-h") << QStringList({"-h"}) << WindowArguments::ShowHelp << QStringList();
        QTest::newRow("--version") << QStringList({"--version"}) << WindowArguments::ShowVersion << QStringList();
        QTest::newRow("help among files") << QStringList({"a.dsk", "--help", "b.dsk"}) << WindowArguments::ShowHelp
                                          << QStringList();
        QTest::newRow("version after a wrong option")
            << QStringList({"--bogus", "--version"}) << WindowArguments::ShowVersion << QStringList();
        QTest::newRow("-- ends the options") << QStringList({"a.dsk", "--", "--help", "-x.dsk"})
                                             << WindowArguments::OpenWindow
                                             << QStringList({"a.dsk", "--help", "-x.dsk"});
        QTest::newRow("unknown option") << QStringList({"--bogus", "a.dsk"}) << WindowArguments::UsageError
                                        << QStringList();
    }

    void parsing()
    {
        QFETCH(QStringList, arguments);
        QFETCH(WindowArguments::Action, action);
        QFETCH(QStringList, images);
        const WindowArguments parsed = parseWindowArguments(arguments);
        QCOMPARE(parsed.action, action);
        QCOMPARE(parsed.images, images);
        QCOMPARE(parsed.error.isEmpty(), action != WindowArguments::UsageError);
    }

    void qtOptionsBeforeTheApplicationTakesThem_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<WindowArguments::Action>("action");
        QTest::newRow("platform") << QStringList({"-platform", "offscreen", "a.dsk"}) << WindowArguments::OpenWindow;
        QTest::newRow("style and reverse") << QStringList({"-style=fusion", "-reverse"}) << WindowArguments::OpenWindow;
        QTest::newRow("help after them") << QStringList({"-platform", "xcb", "--help"}) << WindowArguments::ShowHelp;
        QTest::newRow("still wrong") << QStringList({"-platform", "xcb", "--bogus"}) << WindowArguments::UsageError;
    }

    void qtOptionsBeforeTheApplicationTakesThem()
    {
        QFETCH(QStringList, arguments);
        QFETCH(WindowArguments::Action, action);
        QCOMPARE(parseWindowArguments(arguments, QtOptions::Present).action, action);
        // Once the application took them they are no options of ours.
        if (action == WindowArguments::OpenWindow)
            QCOMPARE(parseWindowArguments(arguments).action, WindowArguments::UsageError);
    }

    // Before the application exists, a single-dash word that is not ours may
    // be Qt's or its platform plugin's: it is left for the application, and
    // reported only if still there once the application took its own. Our
    // options, with two dashes, are checked at once.
    void singleDashWordsWaitForTheApplication_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<WindowArguments::Action>("before");
        QTest::addColumn<WindowArguments::Action>("after");
        QTest::newRow("a plugin's option") << QStringList({"-display", ":1", "a.dsk"}) << WindowArguments::OpenWindow
                                           << WindowArguments::UsageError;
        QTest::newRow("joined value") << QStringList({"-platform=offscreen"}) << WindowArguments::OpenWindow
                                      << WindowArguments::UsageError;
        QTest::newRow("a wrong word") << QStringList({"-bogus"}) << WindowArguments::OpenWindow
                                      << WindowArguments::UsageError;
        QTest::newRow("a wrong option") << QStringList({"-style", "fusion", "--bogus"}) << WindowArguments::UsageError
                                        << WindowArguments::UsageError;
        QTest::newRow("-h is ours") << QStringList({"-reverse", "-h"}) << WindowArguments::ShowHelp
                                    << WindowArguments::ShowHelp;
        QTest::newRow("-version is ours") << QStringList({"-version"}) << WindowArguments::ShowVersion
                                          << WindowArguments::ShowVersion;
        QTest::newRow("after --, files") << QStringList({"--", "-bogus", "--bogus"}) << WindowArguments::OpenWindow
                                         << WindowArguments::OpenWindow;
        QTest::newRow("lone dash is a file") << QStringList({"-"}) << WindowArguments::OpenWindow
                                             << WindowArguments::OpenWindow;
    }

    void singleDashWordsWaitForTheApplication()
    {
        QFETCH(QStringList, arguments);
        const WindowArguments before = parseWindowArguments(arguments, QtOptions::Present);
        QTEST(before.action, "before");
        // Which word is the value of a Qt option is not known yet.
        QVERIFY(before.images.isEmpty());
        QCOMPARE(before.error.isEmpty(), before.action != WindowArguments::UsageError);
        QTEST(parseWindowArguments(arguments).action, "after");
    }

    void printing_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("out");
        QTest::addColumn<QString>("err");

        QTest::newRow("help") << QStringList({"--help"}) << 0 << WindowCommandLine::usage() << QString();
        QTest::newRow("version") << QStringList({"--version"}) << 0 << QString("TOS Malvore " MALVORE_VERSION "\n")
                                 << QString();
        QTest::newRow("unknown option") << QStringList({"--bogus"}) << 2 << QString()
                                        << "malvore: Unknown option 'bogus'.\n" + WindowCommandLine::usage();
    }

    void printing()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, status);
        QString out, err;
        QTextStream outStream(&out), errStream(&err);
        QCOMPARE(printWindowArguments(parseWindowArguments(arguments), outStream, errStream), status);
        QTEST(out, "out");
        QTEST(err, "err");
    }

    void usageNamesTheOptions()
    {
        const QString usage = WindowCommandLine::usage();
        QVERIFY(usage.startsWith("Usage: malvore [FILE...]\n"));
        for (const char *option : {"--help", "--version"})
            QVERIFY2(usage.contains(option), option);
    }

    void filesOnTheCommandLineAreOpened()
    {
        const QString first = files.filePath("first.dsk");
        const QString second = files.filePath("second.dsk");
        QVERIFY(writeTestFile(first, ImageBuilder(40, 1).dsk()));
        QVERIFY(writeTestFile(second, ImageBuilder(42, 1).dsk()));
        MainWindow window;
        startWindow(window, parseWindowArguments({first, second}));
        QVERIFY(window.isVisible());
        const auto *table = window.findChild<QTableWidget *>("dskList");
        QCOMPARE(table->rowCount(), 2);
        QStringList names;
        for (int row = 0; row < 2; ++row)
            names << table->item(row, 0)->text();
        names.sort();
        QCOMPARE(names, QStringList({"first", "second"}));
        QCOMPARE(table->currentRow(), 0);
        // Opened as Open does: the log starts with the first file.
        const QString log = window.findChild<QTextEdit *>("log")->toPlainText();
        QVERIFY2(log.trimmed().startsWith("Opening file \"first\""), qPrintable(log.left(80)));
    }

    void withoutFilesTheWindowStartsEmpty()
    {
        MainWindow window;
        startWindow(window, parseWindowArguments({}));
        QVERIFY(window.isVisible());
        QCOMPARE(window.findChild<QTableWidget *>("dskList")->rowCount(), 0);
        QCOMPARE(window.findChild<QTextEdit *>("log")->toPlainText(), QString("TOS Malvore ver. " MALVORE_VERSION));
    }
};

int main(int argc, char **argv)
{
    QCoreApplication::setOrganizationName("kestrin");
    QCoreApplication::setApplicationName("malvore");
    QApplication app(argc, argv);
    TestCommandLine test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_commandline.moc"
