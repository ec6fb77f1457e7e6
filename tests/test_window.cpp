#include "mainwindow.h"
#include "views/hexview.h"

#include "disk/libdsk.h"
#include "imagebuilder.h"

#include <QAction>
#include <QApplication>
#include <QFile>
#include <QImageReader>
#include <QMenu>
#include <QMessageBox>
#include <QRawFont>
#include <QScreen>
#include <QScrollBar>
#include <QSettings>
#include <QSplitter>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>
#include <QTextEdit>
#include <QTimer>
#include <QToolBox>

// The application shell: form, settings, log, shortcuts, About box and
// the resources it is built from.
class TestWindow : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir files;

    static void clearSettings()
    {
        QSettings settings;
        settings.clear();
        settings.sync();
    }

    QString writeImage(const QString &name, const QByteArray &bytes)
    {
        const QString path = files.filePath(name);
        return writeTestFile(path, bytes) ? path : QString();
    }

private slots:
    void init() { clearSettings(); }

    void firstStartUsesFormDefaults()
    {
        MainWindow window;
        // About 1000 x 700, as far as the screen has room.
        const QSize available = QGuiApplication::primaryScreen()->availableGeometry().size();
        QCOMPARE(window.size(), QSize(1000, 700).boundedTo(available).expandedTo(QSize(360, 480)));
        QCOMPARE(window.minimumSize(), QSize(360, 480));
        QCOMPARE(window.windowTitle(), QString("Malvore"));
        QCOMPARE(window.findChild<QToolBox *>("toolBox")->currentIndex(), 0);
        const auto *table = window.findChild<QTableWidget *>("dskList");
        QCOMPARE(table->columnCount(), 6);
        QStringList headers;
        for (int c = 0; c < 6; ++c)
            headers << table->horizontalHeaderItem(c)->text();
        QCOMPARE(headers, QStringList({"File", "Tracks", "Sides", "Map", "Bad sectors", "TOS"}));
        QCOMPARE(table->iconSize(), QSize(96, 96));
        // The platform's font, as every other list.
        QCOMPARE(table->font(), QApplication::font(table));

        window.close();
        QSettings settings;
        QCOMPARE(settings.value("malvore/lastDir").toString(), QString("."));
    }

    void titleLineIsBoldName()
    {
        MainWindow window;
        const QTextDocument *log = window.findChild<QTextEdit *>("log")->document();
        QCOMPARE(log->blockCount(), 1);
        QCOMPARE(log->toPlainText(), QString("TOS Malvore ver. 0.1.0"));
        const QTextBlock block = log->firstBlock();
        QTextBlock::iterator it = block.begin();
        QVERIFY(!it.atEnd());
        QCOMPARE(it.fragment().text(), QString("TOS Malvore"));
        QCOMPARE(it.fragment().charFormat().fontWeight(), int(QFont::Bold));
        ++it;
        QVERIFY(!it.atEnd());
        QCOMPARE(it.fragment().text(), QString(" ver. 0.1.0"));
        QVERIFY(it.fragment().charFormat().fontWeight() != int(QFont::Bold));
    }

    void messagesAppearInEmissionOrder()
    {
        MainWindow window;
        auto *dsk = window.findChild<libdsk *>();
        QVERIFY(dsk);
        emit dsk->message(LogEntry::info().text("first"));
        emit dsk->message(LogEntry::info().text("second ").strong("bold"));
        window.message("third");
        const QTextDocument *log = window.findChild<QTextEdit *>("log")->document();
        QCOMPARE(log->blockCount(), 4);
        QCOMPARE(log->findBlockByNumber(1).text(), QString("first"));
        QCOMPARE(log->findBlockByNumber(2).text(), QString("second bold"));
        QCOMPARE(log->findBlockByNumber(3).text(), QString("third"));
    }

    void settingsRoundTrip()
    {
        const QString image = writeImage("round.dsk", ImageBuilder(40, 1).dsk());
        QVERIFY(!image.isEmpty());
        QList<int> splitterSizes;
        {
            MainWindow window;
            window.show();
            QVERIFY(QTest::qWaitForWindowExposed(&window));
            window.resize(520, 610);
            auto *splitter = window.findChild<QSplitter *>("splitter");
            splitter->setSizes({150, 300});
            splitterSizes = splitter->sizes();
            window.openImages({image});
            window.close();
        }
        QSettings settings;
        for (const char *key : {"gui/geometry", "gui/state", "gui/splitter"})
            QVERIFY2(!settings.value(key).toByteArray().isEmpty(), key);
        QCOMPARE(settings.value("malvore/lastDir").toString(), files.path());

        MainWindow again;
        QCOMPARE(again.size(), QSize(520, 610));
        again.show();
        QVERIFY(QTest::qWaitForWindowExposed(&again));
        QCOMPARE(again.findChild<QSplitter *>("splitter")->sizes(), splitterSizes);
    }

    void actionsAsDesigned()
    {
        MainWindow window;
        struct Expected
        {
            const char *object, *text, *tip, *status, *shortcut;
        };
        const Expected expected[] = {
            {"action_Open", "&Open…", "Open", "Open DSK file(s)", "Ctrl+O"},
            {"action_Save", "&Save", "Save", "Save files from current image", "Ctrl+S"},
            {"actionSave_All", "Save &All", "Save All", "Process all opened files", "Ctrl+Shift+S"},
            {"action_Quit", "&Quit", "Quit", "Quit", "Ctrl+Q, Ctrl+X"},
            {"actionAbout", "&About…", "About", "About", "Ctrl+I"},
        };
        for (const Expected &e : expected) {
            auto *action = window.findChild<QAction *>(e.object);
            QVERIFY2(action, e.object);
            QCOMPARE(action->text(), QString(e.text));
            QCOMPARE(action->toolTip(), QString(e.tip));
            QCOMPARE(action->statusTip(), QString(e.status));
            QCOMPARE(action->shortcut(), QKeySequence(e.shortcut));
            QVERIFY2(!action->icon().isNull(), e.object);
        }
        QCOMPARE(window.findChild<QAction *>("action_Quit")->shortcut().count(), 2);
    }

    // Every command of the menus has its mnemonic; those that open a
    // dialog say so with "…"; About lives in the Help menu.
    void menusAsEverywhere_data()
    {
        QTest::addColumn<QString>("menu");
        QTest::addColumn<QStringList>("dialogs"); // the menu's commands that open a dialog
        QTest::newRow("File") << "menuFile" << QStringList{"action_Open", "actionAdd_images"};
        QTest::newRow("Go") << "menuGo" << QStringList{"actionGo_to"};
        QTest::newRow("Rescue") << "menuRescue"
                                << QStringList{"actionOutput_folder", "actionSave_merged_image",
                                               "actionExport_sector_report"};
        QTest::newRow("Help") << "menuHelp" << QStringList{"actionAbout"};
    }

    void menusAsEverywhere()
    {
        QFETCH(QString, menu);
        QFETCH(QStringList, dialogs);
        MainWindow window;
        const auto *shown = window.findChild<QMenu *>(menu);
        QVERIFY(shown);
        QVERIFY2(shown->title().contains('&'), qPrintable(shown->title()));
        QStringList mnemonics;
        for (const QAction *action : shown->actions()) {
            if (action->isSeparator())
                continue;
            const QString text = action->text();
            const int amp = text.indexOf('&');
            QVERIFY2(amp >= 0 && amp + 1 < text.size(), qPrintable(text));
            mnemonics << text.mid(amp + 1, 1).toLower();
            QCOMPARE(text.endsWith(QString::fromUtf8("…")), dialogs.contains(action->objectName()));
            QVERIFY2(!text.endsWith("..."), qPrintable(text));
        }
        // No two commands of a menu share a key.
        QCOMPARE(QSet<QString>(mnemonics.begin(), mnemonics.end()).size(), mnemonics.size());
        if (menu == "menuHelp")
            QVERIFY(shown->actions().contains(window.findChild<QAction *>("actionAbout")));
    }

    void quitNeedsBothKeys()
    {
        MainWindow window;
        window.show();
        QApplication::setActiveWindow(&window);
        QVERIFY(QTest::qWaitForWindowActive(&window));
        // Ctrl+Q alone only starts the sequence; Ctrl+X completes it.
        QTest::keyClick(&window, Qt::Key_Q, Qt::ControlModifier);
        QTest::qWait(50);
        QVERIFY(window.isVisible());
        QTest::keyClick(&window, Qt::Key_X, Qt::ControlModifier);
        QTRY_VERIFY(!window.isVisible());
        QSettings settings;
        QVERIFY(!settings.value("gui/geometry").toByteArray().isEmpty());
    }

    void selectionMovesLogToHexView()
    {
        ImageBuilder image(40, 1);
        image.setSector(0, 0, 0, QByteArray(256, 'A'));
        const QString path = writeImage("select.dsk", image.dsk());
        MainWindow window;
        auto *toolBox = window.findChild<QToolBox *>("toolBox");
        window.openImages({path});
        QCOMPARE(toolBox->currentIndex(), 1);
        const QString dump = window.findChild<HexView *>("hexView")->toPlainText();
        QVERIFY2(dump.startsWith("00000 "), qPrintable(dump.left(40)));
        toolBox->setCurrentIndex(0);
        window.findChild<QTableWidget *>("dskList")->clearSelection();
        window.findChild<QTableWidget *>("dskList")->selectRow(0);
        QCOMPARE(toolBox->currentIndex(), 1);
    }

    // At the first start's size the hex view shows whole lines (address,
    // bytes and characters) and a whole sector of them at least.
    void hexViewWholeAtFirstStartSize()
    {
        const QString path = writeImage("wide.dsk", ImageBuilder(40, 1).dsk());
        MainWindow window;
        window.resize(1000, 700);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        window.openImages({path});
        auto *hex = window.findChild<HexView *>("hexView");
        QTRY_VERIFY(hex->isVisible());
        QCOMPARE(hex->horizontalScrollBar()->maximum(), 0);
        QVERIFY2(hex->viewport()->height() >= 16 * QFontMetrics(hex->font()).lineSpacing(),
                 qPrintable(QString::number(hex->viewport()->height())));
    }

    void aboutBoxShowsNameAndIcon()
    {
        MainWindow window;
        QString title, text;
        QSize iconSize;
        QTimer::singleShot(0, [&] {
            auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
            if (!box)
                return;
            title = box->windowTitle();
            text = box->text();
            iconSize = box->iconPixmap().size();
            box->accept();
        });
        window.findChild<QAction *>("actionAbout")->trigger();
        QCOMPARE(title, QString("About"));
        const QStringList lines = text.split('\n');
        QCOMPARE(lines.first(), QString("TOS Malvore " MALVORE_VERSION));
        QVERIFY(lines.contains("Licence: GNU General Public License, version 3 or later (GPL-3.0-or-later)"));
        QVERIFY(lines.contains("https://kestrin.org/malvore"));
        QVERIFY(lines.last().startsWith("Icons: "));
        QCOMPARE(iconSize, QSize(128, 128));
    }

    void fontRegistersWithEveryGlyph()
    {
        MainWindow window; // registers the embedded font
        QFile file(":/ttf/SpectrumMedium.ttf");
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QRawFont font(file.readAll(), 10);
        QVERIFY(font.isValid());
        QCOMPARE(font.familyName(), QString("Spectrum"));
        QCOMPARE(font.styleName(), QString("Medium"));
        for (uint c = 0x20; c <= 0xA4; ++c)
            QVERIFY2(font.supportsCharacter(c), qPrintable(QString::number(c, 16)));
        QVERIFY(font.supportsCharacter(0xFEu));
        QCOMPARE(QFontInfo(window.findChild<HexView *>("hexView")->font()).family(), QString("Spectrum"));
    }

    void iconsLoadFromResources()
    {
        for (const char *path : {":/gfx/ico/Load.png", ":/gfx/ico/Save.png", ":/gfx/ico/SaveAll.png",
                                 ":/gfx/ico/Turn off.png", ":/gfx/ico/About.png"}) {
            const QImage icon(path);
            QVERIFY2(!icon.isNull(), path);
            QCOMPARE(icon.size(), QSize(24, 24));
        }
        QCOMPARE(QImage(":gfx/icon.png").size(), QSize(256, 256));
        QImageReader svg(":/gfx/icon.svg");
        QVERIFY2(svg.canRead(), "the SVG image plugin reads the window icon");
        QVERIFY(!svg.read().isNull());
    }
};

int main(int argc, char **argv)
{
    QCoreApplication::setOrganizationName("kestrin");
    QCoreApplication::setApplicationName("malvore");
    QApplication app(argc, argv);
    TestWindow test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_window.moc"
