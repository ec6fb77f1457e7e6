#include "mainwindow.h"
#include "rescuetestutil.h"
#include "views/hexview.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QDesktopServices>
#include <QDropEvent>
#include <QMimeData>
#include <QPushButton>
#include <QFileDialog>
#include <QHeaderView>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QProgressDialog>
#include <QSettings>
#include <QStatusBar>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTextEdit>
#include <QTimer>
#include <QToolBox>
#include <QToolButton>

#include <functional>

#include <unistd.h>

using namespace rescuetest;

namespace {

const QString samples = QStringLiteral(MALVORE_SOURCE_DIR "/samples/");

QTableWidget *table(MainWindow &window)
{
    return window.findChild<QTableWidget *>("dskList");
}

QStringList names(MainWindow &window)
{
    QStringList list;
    for (int row = 0; row < table(window)->rowCount(); ++row)
        list << table(window)->item(row, 0)->text();
    return list;
}

QStringList logLines(MainWindow &window)
{
    QString text = window.findChild<QTextEdit *>("log")->toPlainText();
    text.replace(QChar::LineSeparator, QLatin1Char('\n'));
    return text.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

QString statusText(MainWindow &window)
{
    return window.statusBar()->currentMessage();
}

QAction *action(MainWindow &window, const char *name)
{
    return window.findChild<QAction *>(name);
}

QByteArray cpmImage()
{
    ImageBuilder cpm(40, 1);
    QByteArray directory(256, char(0xE5));
    directory[0] = 0x20;
    cpm.setSector(1, 0, 1, directory);
    directory[0] = 0x32;
    cpm.setSector(1, 0, 3, directory);
    return cpm.dsk();
}

// Triggers the action while a timer hands the file dialog, once shown, to
// handle; returns the dialog's caption.
QString whileFileDialogShown(QAction *action, const std::function<void(QFileDialog *)> &handle)
{
    QString caption;
    QTimer poll;
    poll.setInterval(20);
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (auto *dialog = qobject_cast<QFileDialog *>(QApplication::activeModalWidget())) {
            caption = dialog->windowTitle();
            handle(dialog);
        }
    });
    poll.start();
    action->trigger();
    poll.stop();
    return caption;
}

} // namespace

// Takes the URLs the window asks the desktop to show.
class UrlCatcher : public QObject
{
    Q_OBJECT
public:
    QList<QUrl> urls;
public slots:
    void show(const QUrl &url) { urls << url; }
};

// The window at work on a rescue: a list that grows and shrinks, the output
// folder, refusals, the summary and progress of Save, recent files.
class TestWindowRescue : public QObject
{
    Q_OBJECT

    QTemporaryDir files;

    QString image(const QString &name, const QByteArray &bytes = ImageBuilder(40, 1).dsk())
    {
        const QString path = files.filePath(name);
        QDir().mkpath(QFileInfo(path).absolutePath());
        return writeTestFile(path, bytes) ? path : QString();
    }

    // The four sample images the rescue accepts.
    QStringList fourSamples() const
    {
        QStringList paths;
        for (const char *name : {"tos-a2-basic", "damaged", "tos-a4", "tos-a2-80ds"})
            paths << samples + name + ".dsk";
        return paths;
    }

private slots:
    void init()
    {
        QSettings settings;
        settings.clear();
        settings.sync();
    }

    void cleanup()
    {
        // A box left open by a test must not be taken for the next test's.
        for (QWidget *widget : QApplication::topLevelWidgets())
            if (qobject_cast<QDialog *>(widget))
                widget->close();
    }

    void addAppendsAndSelectsTheFirstAdded()
    {
        MainWindow window;
        table(window)->setSortingEnabled(false);
        window.openImages({image("one.dsk")});
        window.findChild<QToolBox *>("toolBox")->setCurrentIndex(MainWindow::LogPage);
        const QString logBefore = window.findChild<QTextEdit *>("log")->toPlainText();
        window.addImages({image("two.dsk"), image("three.dsk")});
        QCOMPARE(names(window), QStringList({"one", "two", "three"}));
        QCOMPARE(table(window)->currentRow(), 1);
        QCOMPARE(table(window)->selectionModel()->selectedRows().size(), 1);
        // The log goes on below what Open wrote.
        QVERIFY(window.findChild<QTextEdit *>("log")->toPlainText().startsWith(logBefore));
        QCOMPARE(statusText(window), QString("2 image(s) opened"));
    }

    void refusedFilesKeepTheRows_data()
    {
        QTest::addColumn<QString>("refused");
        QTest::addColumn<QString>("reason");
        QTest::newRow("not an image") << image("junk.dsk", QByteArray(5000, 'j')) << "Unknown file format.";
        QTest::newRow("CP/M") << image("cpm.dsk", cpmImage()) << "CPM disks are not supported";
        QTest::newRow("a folder") << files.path() << "Not a regular file (a folder); not read.";
        QTest::newRow("no such file") << files.filePath("gone.dsk") << "Unknown file format.";
    }

    void refusedFilesKeepTheRows()
    {
        QFETCH(QString, refused);
        QFETCH(QString, reason);
        MainWindow window;
        window.openImages({image("kept.dsk")});
        window.addImages({refused});
        QCOMPARE(names(window), QStringList({"kept"}));
        QCOMPARE(table(window)->currentRow(), 0);
        QVERIFY2(statusText(window).startsWith("Refused " + QFileInfo(refused).fileName() + ": "),
                 qPrintable(statusText(window)));
        QVERIFY2(statusText(window).endsWith(reason), qPrintable(statusText(window)));
        const auto boxes = window.findChildren<QMessageBox *>("refusedFiles");
        QCOMPARE(boxes.size(), 1);
        QVERIFY(boxes.first()->isVisible());
        QCOMPARE(boxes.first()->informativeText(),
                 QDir::toNativeSeparators(refused) + ": " + statusText(window).section(": ", 1));
    }

    void oneBoxListsEveryRefusal()
    {
        MainWindow window;
        const QString junk = image("junk.dsk", "junk");
        const QString cpm = image("cpm.dsk", cpmImage());
        window.openImages({junk, image("good.dsk"), cpm});
        QCOMPARE(names(window), QStringList({"good"}));
        const auto boxes = window.findChildren<QMessageBox *>("refusedFiles");
        QCOMPARE(boxes.size(), 1);
        QMessageBox *box = boxes.first();
        // Shown without holding up the window: the call above has returned.
        QVERIFY(box->isVisible());
        QCOMPARE(box->windowModality(), Qt::WindowModal);
        QCOMPARE(box->text(), QString("2 file(s) could not be opened."));
        QCOMPARE(box->informativeText().split('\n'),
                 QStringList({junk + ": Unknown file format.", cpm + ": CPM disks are not supported"}));
        // The status bar tells the last refusal.
        QCOMPARE(statusText(window), QString("Refused cpm.dsk: CPM disks are not supported"));
    }

    void manyRefusalsAreCut()
    {
        QStringList junk;
        for (int i = 0; i < 13; ++i)
            junk << image(QString("junk%1.dsk").arg(i, 2, 10, QChar('0')), "junk");
        MainWindow window;
        window.openImages(junk);
        auto *box = window.findChild<QMessageBox *>("refusedFiles");
        QVERIFY(box);
        const QStringList lines = box->informativeText().split('\n');
        QCOMPARE(lines.size(), 11);
        QCOMPARE(lines.first(), junk.first() + ": Unknown file format.");
        QCOMPARE(lines.last(), QString("... and 3 more; the log names them all."));
    }

    void nothingRefusedNoBox()
    {
        MainWindow window;
        window.openImages({image("fine.dsk")});
        QVERIFY(!window.findChild<QMessageBox *>("refusedFiles"));
    }

    void removeTakesTheSelectedRows()
    {
        MainWindow window;
        table(window)->setSortingEnabled(false);
        window.openImages({image("a.dsk"), image("b.dsk"), image("c.dsk"), image("d.dsk")});
        table(window)->clearSelection();
        for (int row : {0, 2})
            table(window)->selectionModel()->select(table(window)->model()->index(row, 0),
                                                    QItemSelectionModel::Select | QItemSelectionModel::Rows);
        action(window, "actionRemove")->trigger();
        QCOMPARE(names(window), QStringList({"b", "d"}));
        QCOMPARE(statusText(window), QString("2 image(s) removed from the list"));
    }

    void deleteKeyRemovesInTheList()
    {
        MainWindow window;
        window.show();
        QApplication::setActiveWindow(&window);
        QVERIFY(QTest::qWaitForWindowActive(&window));
        table(window)->setSortingEnabled(false);
        window.openImages({image("a.dsk"), image("b.dsk")});
        table(window)->setFocus();
        table(window)->selectRow(1);
        QCOMPARE(action(window, "actionRemove")->shortcut(), QKeySequence(QKeySequence::Delete));
        QTest::keyClick(table(window), Qt::Key_Delete);
        QCOMPARE(names(window), QStringList({"a"}));
        // Elsewhere Delete is the field's: the list stays.
        auto *field = window.findChild<QLineEdit *>("goToValue");
        window.findChild<QToolBox *>("toolBox")->setCurrentIndex(MainWindow::HexPage);
        field->setFocus();
        field->setText("12");
        field->setCursorPosition(0);
        QTest::keyClick(field, Qt::Key_Delete);
        QCOMPARE(field->text(), QString("2"));
        QCOMPARE(names(window), QStringList({"a"}));
    }

    void clearEmptiesTheListAndTheViews()
    {
        MainWindow window;
        window.openImages({image("a.dsk"), image("b.dsk")});
        QVERIFY(window.findChild<HexView *>("hexView")->lineCount() > 0);
        action(window, "actionClear")->trigger();
        QCOMPARE(table(window)->rowCount(), 0);
        QCOMPARE(window.findChild<HexView *>("hexView")->lineCount(), 0);
        // The log stays: it tells what was done.
        QVERIFY(window.findChild<QTextEdit *>("log")->toPlainText().contains("Opening file \"b\""));
        window.addImages({image("c.dsk")});
        QCOMPARE(names(window), QStringList({"c"}));
    }

    void removingEveryRowEmptiesTheViews()
    {
        MainWindow window;
        window.openImages({image("a.dsk")});
        table(window)->selectAll();
        action(window, "actionRemove")->trigger();
        QCOMPARE(table(window)->rowCount(), 0);
        QCOMPARE(window.findChild<HexView *>("hexView")->lineCount(), 0);
    }

    void outputFolderIsShownUsedAndRemembered()
    {
        QTemporaryDir output;
        {
            MainWindow window;
            // The default: the current folder, as ever.
            QCOMPARE(window.outputFolder(), QDir::currentPath());
            window.useOutputFolder(output.path());
            window.close();
        }
        QCOMPARE(QSettings().value("malvore/outputDir").toString(), output.path());
        MainWindow again;
        QCOMPARE(again.outputFolder(), output.path());
        auto *shown = again.findChild<QToolButton *>("outputFolderButton");
        QVERIFY(shown);
        QCOMPARE(shown->text(), "Output: " + QDir::toNativeSeparators(output.path()));
        again.openImages({samples + "tos-a4.dsk"});
        action(again, "actionSave_All")->trigger();
        QCOMPARE(entriesIn(output.path()), QStringList({"tos-a4"}));
    }

    void outputFolderFromItsDialog()
    {
        QTemporaryDir output;
        MainWindow window;
        const QString caption =
            whileFileDialogShown(action(window, "actionOutput_folder"), [&](QFileDialog *dialog) {
                dialog->setDirectory(output.path());
                QMetaObject::invokeMethod(dialog, "accept");
            });
        QCOMPARE(caption, QString("Output folder"));
        QCOMPARE(window.outputFolder(), output.path());
        QCOMPARE(QSettings().value("malvore/outputDir").toString(), output.path());
        QCOMPARE(statusText(window), "Rescued files go into " + QDir::toNativeSeparators(output.path()));
    }

    void cancelledFolderDialogKeepsTheFolder()
    {
        MainWindow window;
        const QString before = window.outputFolder();
        whileFileDialogShown(action(window, "actionOutput_folder"), [](QFileDialog *dialog) { dialog->reject(); });
        QCOMPARE(window.outputFolder(), before);
        QVERIFY(!QSettings().contains("malvore/outputDir"));
    }

    void saveSummary_data()
    {
        QTest::addColumn<QString>("sample");
        QTest::addColumn<int>("files");
        QTest::addColumn<int>("damaged");
        QTest::newRow("four files") << "tos-a2-basic" << 4 << 0;
        QTest::newRow("a damaged file and a lost block") << "damaged" << 3 << 1;
        QTest::newRow("two sides") << "tos-a2-80ds" << 3 << 0;
        QTest::newRow("A.4") << "tos-a4" << 2 << 0;
    }

    void saveSummary()
    {
        QFETCH(QString, sample);
        QFETCH(int, files);
        QFETCH(int, damaged);
        QTemporaryDir work;
        const QString previous = QDir::currentPath();
        QVERIFY(QDir::setCurrent(work.path()));
        MainWindow window;
        // A relative root: the summary still names the folder in full.
        window.setOutputRoot("rescued");
        window.openImages({samples + sample + ".dsk"});
        action(window, "actionSave_All")->trigger();
        QDir::setCurrent(previous);
        const QString folder = QDir(work.path()).absoluteFilePath("rescued");
        QCOMPARE(logLines(window).last(), QString("Rescued %1 file(s), %2 damaged, from 1 image(s) into %3")
                                              .arg(files)
                                              .arg(damaged)
                                              .arg(folder));
        QCOMPARE(statusText(window), QString("%1 file(s) rescued into %2, %3 damaged")
                                         .arg(files)
                                         .arg(QDir::toNativeSeparators(folder))
                                         .arg(damaged));
        QVERIFY(QFileInfo(folder + "/" + sample).isDir());
    }

    void summaryOfSeveralImages()
    {
        QTemporaryDir output;
        MainWindow window;
        window.setOutputRoot(output.path());
        window.openImages({samples + "damaged.dsk", samples + "tos-a4.dsk", samples + "tos-a2-basic.dsk"});
        action(window, "actionSave_All")->trigger();
        QCOMPARE(logLines(window).last(),
                 "Rescued 9 file(s), 1 damaged, from 3 image(s) into " + QDir(output.path()).absolutePath());
    }

    void openOutputFolderShowsIt()
    {
        QTemporaryDir output;
        UrlCatcher catcher;
        QDesktopServices::setUrlHandler("file", &catcher, "show");
        MainWindow window;
        window.setOutputRoot(output.path());
        action(window, "actionOpen_output_folder")->trigger();
        window.setOutputRoot(output.filePath("not-yet"));
        action(window, "actionOpen_output_folder")->trigger();
        QDesktopServices::unsetUrlHandler("file");
        QCOMPARE(catcher.urls, QList<QUrl>({QUrl::fromLocalFile(output.path())}));
        QVERIFY2(statusText(window).contains("does not exist yet"), qPrintable(statusText(window)));
    }

    void progressOnlyForManyImages_data()
    {
        QTest::addColumn<int>("images");
        QTest::addColumn<bool>("shown");
        QTest::newRow("three") << 3 << false;
        QTest::newRow("four") << 4 << true;
    }

    void progressOnlyForManyImages()
    {
        QFETCH(int, images);
        QFETCH(bool, shown);
        QTemporaryDir output;
        MainWindow window;
        window.setOutputRoot(output.path());
        QStringList paths = fourSamples();
        window.openImages(paths.mid(0, images));
        bool seen = false;
        QTimer poll;
        poll.setInterval(0);
        connect(&poll, &QTimer::timeout, [&] { seen = seen || window.findChild<QProgressDialog *>("saveProgress"); });
        poll.start();
        action(window, "actionSave_All")->trigger();
        poll.stop();
        QCOMPARE(seen, shown);
        QCOMPARE(entriesIn(output.path()).size(), images);
        // The dialog is gone once Save is done.
        QVERIFY(!window.findChild<QProgressDialog *>("saveProgress"));
    }

    void cancelStopsBetweenImages()
    {
        QTemporaryDir output;
        MainWindow window;
        // On one thread no other image is under way when Cancel is pressed.
        window.setSaveJobs(1);
        window.setOutputRoot(output.path());
        QStringList paths = fourSamples();
        paths << image("blank.dsk");
        window.openImages(paths);
        table(window)->setSortingEnabled(false);
        QTimer poll;
        poll.setInterval(0);
        connect(&poll, &QTimer::timeout, [&] {
            auto *progress = window.findChild<QProgressDialog *>("saveProgress");
            if (progress && progress->value() == 2)
                progress->cancel();
        });
        poll.start();
        action(window, "actionSave_All")->trigger();
        poll.stop();
        const QStringList lines = logLines(window);
        QCOMPARE(lines.at(lines.size() - 2), QString("Save cancelled: 2 of 5 image(s) converted"));
        QVERIFY2(lines.last().contains("from 2 image(s)"), qPrintable(lines.last()));
        QCOMPARE(entriesIn(output.path()).size(), 2);
    }

    void recentFilesAreRemembered()
    {
        const QString a = image("recent/a.dsk");
        const QString b = image("recent/b.dsk");
        {
            MainWindow window;
            window.openImages({a, image("recent/junk.dsk", "junk")});
            window.addImages({b});
            window.addImages({a});
            QCOMPARE(window.recentFiles(), QStringList({a, b}));
        }
        MainWindow again;
        QCOMPARE(again.recentFiles(), QStringList({a, b}));
        auto *menu = again.findChild<QMenu *>("menuRecent");
        QVERIFY(menu);
        QStringList texts;
        for (QAction *entry : menu->actions())
            texts << entry->text();
        QCOMPARE(texts, QStringList({"&1 a.dsk", "&2 b.dsk", QString(), "&Clear recent files"}));
        // A recent file opens as Open does: a new list.
        again.openImages({image("recent/c.dsk")});
        menu->actions().at(2)->trigger();
        QCOMPARE(names(again), QStringList({"b"}));
    }

    void tenRecentFilesAtMost()
    {
        MainWindow window;
        QStringList paths;
        for (int i = 0; i < 12; ++i)
            paths << image(QString("many/%1.dsk").arg(i, 2, 10, QChar('0')));
        for (const QString &path : paths)
            window.addImages({path});
        QStringList expected = paths.mid(2);
        std::reverse(expected.begin(), expected.end());
        QCOMPARE(window.recentFiles(), expected);
        const QList<QAction *> entries = window.findChild<QMenu *>("menuRecent")->actions();
        QCOMPARE(entries.at(9)->text(), QString("1&0 02.dsk"));
        entries.last()->trigger();
        QCOMPARE(window.recentFiles(), QStringList());
        QCOMPARE(window.findChild<QMenu *>("menuRecent")->actions().size(), 1);
        QVERIFY(!window.findChild<QMenu *>("menuRecent")->actions().first()->isEnabled());
    }

    void fileDialogFilters()
    {
        MainWindow window;
        QStringList filters;
        const QString caption = whileFileDialogShown(action(window, "actionAdd_images"), [&](QFileDialog *dialog) {
            filters = dialog->nameFilters();
            dialog->reject();
        });
        QCOMPARE(caption, QString("Add DSK files"));
        QCOMPARE(filters, QStringList({"Disk images (*.dsk *.DSK *.edsk *.scp *.SCP)", "All files (*)"}));
    }

    // One file is one row however it is named; each row tells its file.
    void addingAnImageTwiceAddsItOnce_data()
    {
        QTest::addColumn<QString>("again"); // the second name of once.dsk, relative to the folder
        QTest::newRow("the same name") << "twice/once.dsk";
        QTest::newRow("another spelling") << "twice/../twice/./once.dsk";
        QTest::newRow("a hard link") << "twice/link.dsk";
    }

    void addingAnImageTwiceAddsItOnce()
    {
        QFETCH(QString, again);
        const QString once = image("twice/once.dsk");
        QFile::remove(files.filePath("twice/link.dsk"));
        QCOMPARE(::link(QFile::encodeName(once).constData(), QFile::encodeName(files.filePath("twice/link.dsk")).constData()), 0);
        MainWindow window;
        window.openImages({once, image("twice/other.dsk")});
        window.addImages({files.filePath(again)});
        QCOMPARE(names(window), QStringList({"once", "other"}));
        // The row already listed is the one selected.
        QCOMPARE(table(window)->item(table(window)->currentRow(), 0)->text(), QString("once"));
        QCOMPARE(statusText(window), QString("1 already in the list"));
        QCOMPARE(logLines(window).last(),
                 QDir::toNativeSeparators(files.filePath(again)) + " is already in the list; not added again");
        for (int column = 0; column < table(window)->columnCount(); ++column)
            QCOMPARE(table(window)->item(0, column)->toolTip(), QDir::toNativeSeparators(once));
    }

    // A folder dropped on the window adds the disk images it holds, not
    // those of its subfolders; a file dropped beside it is added as ever.
    void droppedFolderAddsItsImages()
    {
        const QString folder = files.filePath("dropped");
        for (const char *name : {"b.dsk", "A.DSK", "c.edsk", "sub/d.dsk"})
            image(QString("dropped/") + name);
        image("dropped/notes.txt", "not an image");
        const QString single = image("single.dsk");
        MainWindow window;
        table(window)->setSortingEnabled(false);
        QMimeData mime;
        mime.setUrls({QUrl::fromLocalFile(folder), QUrl::fromLocalFile(single)});
        // As a drag ends: it enters the window, then drops.
        QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(&window, &enter);
        QVERIFY(enter.isAccepted());
        QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(&window, &drop);
        QVERIFY(drop.isAccepted());
        QCOMPARE(names(window), QStringList({"A", "b", "c", "single"}));
        QVERIFY(logLines(window).contains("Folder " + QDir::toNativeSeparators(folder) + ": 3 disk image(s)"));
        QVERIFY(!window.findChild<QMessageBox *>("refusedFiles"));
    }

    // The first Save ever asks where to write, proposing the working
    // directory; the answer is remembered, and no answer saves nothing.
    void firstSaveAsksWhereToWrite_data()
    {
        QTest::addColumn<bool>("chosen");
        QTest::newRow("a folder chosen") << true;
        QTest::newRow("cancelled") << false;
    }

    void firstSaveAsksWhereToWrite()
    {
        QFETCH(bool, chosen);
        QTemporaryDir work;
        QTemporaryDir output;
        const QString previous = QDir::currentPath();
        QVERIFY(QDir::setCurrent(work.path()));
        MainWindow window;
        window.openImages({samples + "tos-a4.dsk"});
        QString proposed;
        const QString caption = whileFileDialogShown(action(window, "actionSave_All"), [&](QFileDialog *dialog) {
            proposed = dialog->directory().absolutePath();
            if (!chosen) {
                dialog->reject();
                return;
            }
            dialog->setDirectory(output.path());
            QMetaObject::invokeMethod(dialog, "accept");
        });
        QDir::setCurrent(previous);
        QCOMPARE(caption, QString("Where should the rescued files go?"));
        QCOMPARE(QFileInfo(proposed).canonicalFilePath(), QFileInfo(work.path()).canonicalFilePath());
        QCOMPARE(entriesIn(work.path()), QStringList());
        QCOMPARE(entriesIn(output.path()), chosen ? QStringList({"tos-a4"}) : QStringList());
        QCOMPARE(QSettings().value("malvore/outputDir").toString(), chosen ? output.path() : QString());
        if (!chosen)
            QCOMPARE(statusText(window), QString("Nothing saved: no output folder chosen"));
        // Once chosen, Save asks no more; cancelled, it asks again.
        bool asked = false;
        whileFileDialogShown(action(window, "actionSave_All"), [&](QFileDialog *dialog) {
            asked = true;
            dialog->reject();
        });
        QCOMPARE(asked, !chosen);
    }

    // Without a program to show the folder, its path can be copied.
    void outputFolderPathCopiedWithoutAFileManager()
    {
        QTemporaryDir output;
        MainWindow window;
        window.setOutputRoot(output.path());
        // The offscreen platform has no services: nothing shows a folder.
        action(window, "actionOpen_output_folder")->trigger();
        auto *box = window.findChild<QMessageBox *>("noFileManager");
        QVERIFY(box);
        QVERIFY(box->isVisible());
        auto *copy = box->findChild<QPushButton *>("copyPath");
        QVERIFY(copy);
        QGuiApplication::clipboard()->clear();
        copy->click();
        QCOMPARE(QGuiApplication::clipboard()->text(), QDir::toNativeSeparators(output.path()));
    }

    // Save and Save All have nothing to do on an empty list; Ctrl+A in
    // the list selects every row and saves nothing.
    void saveNeedsImagesAndCtrlASelects()
    {
        QTemporaryDir output;
        MainWindow window;
        window.setOutputRoot(output.path());
        window.show();
        QApplication::setActiveWindow(&window);
        QVERIFY(QTest::qWaitForWindowActive(&window));
        for (const char *name : {"action_Save", "actionSave_All"})
            QVERIFY2(!action(window, name)->isEnabled(), name);
        window.openImages({image("a.dsk"), image("b.dsk"), image("c.dsk")});
        for (const char *name : {"action_Save", "actionSave_All"})
            QVERIFY2(action(window, name)->isEnabled(), name);
        QCOMPARE(table(window)->selectionModel()->selectedRows().size(), 1);
        table(window)->setFocus();
        QTest::keyClick(table(window), Qt::Key_A, Qt::ControlModifier);
        QCOMPARE(table(window)->selectionModel()->selectedRows().size(), 3);
        QCOMPARE(entriesIn(output.path()), QStringList());
        // One Tab leaves the list.
        QTest::keyClick(table(window), Qt::Key_Tab);
        QVERIFY(QApplication::focusWidget() != table(window));
        action(window, "actionClear")->trigger();
        for (const char *name : {"action_Save", "actionSave_All"})
            QVERIFY2(!action(window, name)->isEnabled(), name);
    }

    void quitHintAfterTheFirstKey()
    {
        MainWindow window;
        window.show();
        QApplication::setActiveWindow(&window);
        QVERIFY(QTest::qWaitForWindowActive(&window));
        QTest::keyClick(&window, Qt::Key_Q, Qt::ControlModifier);
        QCOMPARE(statusText(window), QString("Press Ctrl+X to quit"));
        QVERIFY(window.isVisible());
    }

    void firstStartShowsEveryColumnTitle()
    {
        MainWindow window;
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        const QHeaderView *header = table(window)->horizontalHeader();
        for (int column = 0; column < header->count(); ++column) {
            const QString title = table(window)->horizontalHeaderItem(column)->text();
            const int needed = header->fontMetrics().horizontalAdvance(title) + 8;
            QVERIFY2(header->sectionSize(column) >= needed, qPrintable(title));
        }
    }
};

int main(int argc, char **argv)
{
    QCoreApplication::setOrganizationName("kestrin");
    QCoreApplication::setApplicationName("malvore");
    QApplication app(argc, argv);
    TestWindowRescue test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_window_rescue.moc"
