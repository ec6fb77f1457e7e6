#include "mainwindow.h"
#include "rescuetestutil.h"

#include <QAction>
#include <QApplication>
#include <QFileDialog>
#include <QItemSelectionModel>
#include <QSettings>
#include <QRegularExpression>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>
#include <QTextEdit>
#include <QTimer>
#include <QToolBox>

using namespace rescuetest;

namespace {

// The body of the one code file of an image.
QByteArray contentsFor(char name)
{
    return pattern(251, name);
}

// A 40-track A.2 image holding one code file, fileName, of 251 bytes after
// its 5-byte header.
QByteArray tosImage(const QByteArray &fileName, const QByteArray &body)
{
    const QByteArray file = ImageBuilder::withHeader5(3, body.size(), 32768, body);
    ImageBuilder disk(40, 1);
    disk.setLogicalBytes(64 * 256 + 32, extentEntry(0, fileName, "", 0, file.size(), "\x04"), true);
    disk.setLogicalBytes(80 * 256, file, true);
    return disk.dsk();
}

// The image archive: the one code file, nothing of an earlier image.
QByteArray archiveFor(const QByteArray &fileName, const QByteArray &body)
{
    return tapPair(3, fileName.leftJustified(10), body, 32768, 0x8000);
}

// The log's text lines, empty ones left out (rules and leading line
// breaks are checked through the document).
QStringList logLines(const QMainWindow &window)
{
    QString text = window.findChild<QTextEdit *>("log")->toPlainText();
    text.replace(QChar::LineSeparator, QLatin1Char('\n'));
    text.replace(QChar::ParagraphSeparator, QLatin1Char('\n'));
    return text.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

// The count line stands right after a horizontal rule.
bool countLineAfterRule(const QTextEdit *log, int count)
{
    const QRegularExpression rule(
        QStringLiteral("<hr />\\s*<p[^>]*>%1 image\\(s\\) selelcted to conversion</p>").arg(count));
    return rule.match(log->toHtml()).hasMatch();
}

} // namespace

// Save and Save All through the main window: selection, order, log lines
// and the image folders they write.
class TestSave : public QObject
{
    Q_OBJECT

    QTemporaryDir images;

    struct Window
    {
        MainWindow window;
        QTemporaryDir output;
        QTableWidget *table = nullptr;
        QTextEdit *log = nullptr;

        Window()
        {
            table = window.findChild<QTableWidget *>("dskList");
            log = window.findChild<QTextEdit *>("log");
            window.setOutputRoot(output.path());
        }

        void trigger(const char *action) { window.findChild<QAction *>(action)->trigger(); }

        void select(int row)
        {
            table->selectionModel()->select(table->model()->index(row, 0),
                                            QItemSelectionModel::Select | QItemSelectionModel::Rows);
        }

        // The log lines added by what ran since before was taken.
        QStringList linesSince(const QStringList &before) const
        {
            return logLines(window).mid(before.size());
        }

        QString folder(const QString &name) const { return output.filePath(name) + QLatin1Char('/'); }

        // The line that ends a Save: what was rescued, and where to.
        QString summary(int files, int images) const
        {
            return QStringLiteral("Rescued %1 file(s), 0 damaged, from %2 image(s) into %3")
                .arg(files)
                .arg(images)
                .arg(QDir(output.path()).absolutePath());
        }
    };

    QString imageFile(const QString &name, const QByteArray &bytes)
    {
        const QString path = images.filePath(name);
        QDir().mkpath(QFileInfo(path).absolutePath());
        writeFile(path, bytes);
        return path;
    }

    // Images A, B, C and D, each with one file FA, FB, FC or FD.
    QStringList fourImages()
    {
        QStringList paths;
        for (char name : QByteArray("ABCD")) {
            paths.append(imageFile(QStringLiteral("%1.dsk").arg(name),
                                   tosImage(QByteArray("F") + name, contentsFor(name))));
        }
        return paths;
    }

    static QStringList convertedImage(const QString &name)
    {
        return {"Image " + name + " :", "file F" + name + " ", "Found 0 lost block(s)"};
    }

private slots:
    void initTestCase() { QVERIFY(images.isValid()); }

    void saveConvertsSelectedRowsInTableOrder()
    {
        Window w;
        w.window.openImages(fourImages());
        QCOMPARE(w.table->rowCount(), 4);
        w.table->clearSelection();
        w.select(3);
        w.select(1);
        w.window.findChild<QToolBox *>("toolBox")->setCurrentIndex(2);
        const QStringList before = logLines(w.window);
        w.trigger("action_Save");

        QCOMPARE(w.window.findChild<QToolBox *>("toolBox")->currentIndex(), 0);
        QCOMPARE(w.linesSince(before),
                 QStringList({"2 image(s) selelcted to conversion"}) + convertedImage("B")
                     + convertedImage("D") + QStringList(w.summary(2, 2)));
        QVERIFY(countLineAfterRule(w.log, 2));
        QCOMPARE(entriesIn(w.output.path()), QStringList({"B", "D"}));
        QCOMPARE(entriesIn(w.folder("B")), QStringList({"B.tap", "FB.cod", "FB.cod.inf"}));
        QCOMPARE(readFile(w.folder("B") + "FB.cod"), contentsFor('B'));
        QCOMPARE(readFile(w.folder("D") + "FD.cod"), contentsFor('D'));
        QCOMPARE(readFile(w.folder("B") + "B.tap"), archiveFor("FB", contentsFor('B')));
        QCOMPARE(readFile(w.folder("D") + "D.tap"), archiveFor("FD", contentsFor('D')));
        // The selection is the user's; Save leaves it alone.
        QCOMPARE(w.table->selectionModel()->selectedRows().size(), 2);
    }

    void logLinesCarryTheirMarkup()
    {
        Window w;
        w.window.openImages(fourImages());
        w.table->clearSelection();
        w.select(2);
        const int blocksBefore = w.log->document()->blockCount();
        w.trigger("action_Save");
        const QString html = w.log->toHtml();
        QVERIFY2(html.contains("<hr"), qPrintable(html));
        bool boldName = false;
        bool sawCount = false;
        for (QTextBlock block = w.log->document()->findBlockByNumber(blocksBefore); block.isValid();
             block = block.next()) {
            sawCount = sawCount || block.text() == "1 image(s) selelcted to conversion";
            if (block.text().contains("Image"))
                QCOMPARE(block.text(), QString(QChar::LineSeparator) + "Image C :");
            for (auto it = block.begin(); !it.atEnd(); ++it) {
                const QTextFragment fragment = it.fragment();
                if (fragment.text() == "C")
                    boldName = fragment.charFormat().fontWeight() == QFont::Bold;
                if (fragment.text().contains("Image") || fragment.text().contains("file"))
                    QVERIFY(fragment.charFormat().fontWeight() != QFont::Bold);
            }
        }
        QVERIFY(sawCount);
        QVERIFY(boldName);
    }

    void saveWithoutSelectionLogsZero()
    {
        Window w;
        w.window.openImages(fourImages());
        w.table->clearSelection();
        const QStringList before = logLines(w.window);
        w.trigger("action_Save");
        QCOMPARE(w.linesSince(before), QStringList({"0 image(s) selelcted to conversion", w.summary(0, 0)}));
        QVERIFY(countLineAfterRule(w.log, 0));
        QCOMPARE(entriesIn(w.output.path()), QStringList());
    }

    // On an empty list there is nothing to save: both commands are off.
    void saveAllOnEmptyTableDoesNothing()
    {
        Window w;
        w.window.findChild<QToolBox *>("toolBox")->setCurrentIndex(1);
        const QStringList before = logLines(w.window);
        w.trigger("actionSave_All");
        w.trigger("action_Save");
        QCOMPARE(w.linesSince(before), QStringList());
        QCOMPARE(entriesIn(w.output.path()), QStringList());
        QCOMPARE(w.window.findChild<QToolBox *>("toolBox")->currentIndex(), 1);
    }

    void saveAllConvertsEveryRowAndSelectsThem()
    {
        Window w;
        w.window.openImages(fourImages());
        w.table->clearSelection();
        w.select(2);
        const QStringList before = logLines(w.window);
        w.trigger("actionSave_All");
        QCOMPARE(w.linesSince(before), QStringList({"4 image(s) selelcted to conversion"})
                                           + convertedImage("A") + convertedImage("B")
                                           + convertedImage("C") + convertedImage("D")
                                           + QStringList(w.summary(4, 4)));
        QVERIFY(countLineAfterRule(w.log, 4));
        QCOMPARE(w.table->selectionModel()->selectedRows().size(), 4);
        QCOMPARE(entriesIn(w.output.path()), QStringList({"A", "B", "C", "D"}));
        for (char name : QByteArray("ABCD")) {
            const QString folder = w.folder(QString(name));
            QCOMPARE(readFile(folder + "F" + name + ".cod"), contentsFor(name));
            QCOMPARE(readFile(folder + name + ".tap"), archiveFor(QByteArray("F") + name, contentsFor(name)));
        }
    }

    // Save walks the rows as the table shows them, also after sorting.
    void sortedTableConvertedInRowOrder()
    {
        Window w;
        w.window.openImages(fourImages());
        w.table->sortItems(0, Qt::DescendingOrder);
        QCOMPARE(w.table->item(0, 0)->text(), QString("D"));
        w.table->clearSelection();
        w.select(0);
        w.select(3);
        const QStringList before = logLines(w.window);
        w.trigger("action_Save");
        QCOMPARE(w.linesSince(before), QStringList({"2 image(s) selelcted to conversion"})
                                           + convertedImage("D") + convertedImage("A")
                                           + QStringList(w.summary(2, 2)));
        QCOMPARE(readFile(w.folder("D") + "FD.cod"), contentsFor('D'));
        QCOMPARE(readFile(w.folder("A") + "FA.cod"), contentsFor('A'));
    }

    void unknownImageOnlyNamed()
    {
        Window w;
        const QString unknown = imageFile("U.dsk", ImageBuilder(40, 1).dsk());
        w.window.openImages({unknown, fourImages().at(0)});
        QCOMPARE(w.table->rowCount(), 2);
        QCOMPARE(w.table->item(0, 5)->text(), QString("unknown"));
        const QStringList before = logLines(w.window);
        w.trigger("actionSave_All");
        QCOMPARE(w.linesSince(before), QStringList({"2 image(s) selelcted to conversion", "Image U :"})
                                           + convertedImage("A") + QStringList(w.summary(1, 2)));
        QCOMPARE(entriesIn(w.output.path()), QStringList({"A"}));
    }

    // The conversion works on copies: the table keeps what Open put there.
    void tableCellsUnchanged()
    {
        Window w;
        w.window.openImages(fourImages());
        const QTableWidgetItem *map = w.table->item(1, 3);
        const QByteArray data = map->data(MainWindow::SectorDataRole).toByteArray();
        const QByteArray status = map->data(MainWindow::SectorMapRole).toByteArray();
        QVERIFY(!status.contains(char(2)));
        w.trigger("actionSave_All");
        QCOMPARE(map->data(MainWindow::SectorDataRole).toByteArray(), data);
        QCOMPARE(map->data(MainWindow::SectorMapRole).toByteArray(), status);
        // Converting again rewrites the same files.
        w.trigger("actionSave_All");
        QCOMPARE(readFile(w.folder("B") + "FB.cod"), contentsFor('B'));
        QCOMPARE(readFile(w.folder("B") + "B.tap"), archiveFor("FB", contentsFor('B')));
    }

    // Two images of one base name in one Save: the second gets a folder of
    // its own, and the log says so; nothing of the first is overwritten.
    void sameBaseNameGetsItsOwnFolder()
    {
        Window w;
        const QString first = imageFile("one/X.dsk", tosImage("F", contentsFor('1')));
        const QString second = imageFile("two/X.dsk", tosImage("F", contentsFor('2')));
        w.window.openImages({first, second});
        const QStringList before = logLines(w.window);
        w.trigger("actionSave_All");
        QCOMPARE(entriesIn(w.output.path()), QStringList({"X", "X~2"}));
        QCOMPARE(readFile(w.folder("X") + "F.cod"), contentsFor('1'));
        QCOMPARE(readFile(w.folder("X") + "X.tap"), archiveFor("F", contentsFor('1')));
        QCOMPARE(readFile(w.folder("X~2") + "F.cod"), contentsFor('2'));
        QCOMPARE(readFile(w.folder("X~2") + "X~2.tap"), archiveFor("F", contentsFor('2')));
        QVERIFY(w.linesSince(before).contains("The folder X holds another image of this run; saved into X~2"));
        // A second Save replaces the files of the first, folder for folder.
        w.trigger("actionSave_All");
        QCOMPARE(entriesIn(w.output.path()), QStringList({"X", "X~2"}));
    }

    // Without an output root the first Save asks, proposing the working
    // directory; taken as proposed, Save writes below it.
    void defaultOutputIsTheWorkingDirectory()
    {
        QSettings().remove("malvore/outputDir");
        QTemporaryDir work;
        const QString previous = QDir::currentPath();
        QVERIFY(QDir::setCurrent(work.path()));
        {
            MainWindow window;
            window.openImages(fourImages().mid(2, 1));
            QTimer takeProposal;
            takeProposal.setInterval(20);
            connect(&takeProposal, &QTimer::timeout, [] {
                if (auto *dialog = qobject_cast<QFileDialog *>(QApplication::activeModalWidget()))
                    QMetaObject::invokeMethod(dialog, "accept");
            });
            takeProposal.start();
            window.findChild<QAction *>("actionSave_All")->trigger();
        }
        QDir::setCurrent(previous);
        QCOMPARE(entriesIn(work.path()), QStringList({"C"}));
        QCOMPARE(readFile(work.filePath("C/FC.cod")), contentsFor('C'));
        QCOMPARE(readFile(work.filePath("C/C.tap")), archiveFor("FC", contentsFor('C')));
    }

    void failedWritesAppearInTheLog()
    {
        Window w;
        const QString blocker = w.output.filePath("file");
        QVERIFY(writeFile(blocker, "x"));
        w.window.setOutputRoot(blocker);
        w.window.openImages(fourImages().mid(0, 1));
        const QStringList before = logLines(w.window);
        w.trigger("actionSave_All");
        const QStringList lines = w.linesSince(before);
        QCOMPARE(lines.size(), 9);
        QCOMPARE(lines.mid(0, 2), QStringList({"1 image(s) selelcted to conversion", "Image A :"}));
        QVERIFY2(lines.at(2).startsWith("Cannot write " + blocker + "/A"), qPrintable(lines.at(2)));
        QCOMPARE(withoutReasons(lines.mid(3, 5)), QStringList({"file FA ", "Cannot write " + blocker + "/A/FA.cod.inf",
                                            "Cannot write " + blocker + "/A/FA.cod",
                                            "Cannot write " + blocker + "/A/A.tap", "Found 0 lost block(s)"}));
        QCOMPARE(lines.last(), "Rescued 1 file(s), 0 damaged, from 1 image(s) into " + blocker
                                   + "; 4 output(s) could not be written");
    }
};

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("kestrin"));
    QCoreApplication::setApplicationName(QStringLiteral("malvore"));
    TestSave test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_save.moc"
