#include "mainwindow.h"
#include "translations.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QMenu>
#include <QStatusBar>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTextEdit>
#include <QTest>
#include <QToolBox>
#include <QTranslator>

// The translator set-up of the entry function, seen through the form: ctest
// starts this test with LC_ALL=de_DE.UTF-8, and the shipped German catalog
// translates the menus, actions, table headers, pages, dialogs and refusal
// reasons, but not the log.
class TestTranslations : public QObject
{
    Q_OBJECT

private:
    InstalledTranslators installed;

    void removeInstalled()
    {
        for (QTranslator *translator : {installed.program, installed.qt}) {
            if (translator) {
                QCoreApplication::removeTranslator(translator);
                delete translator;
            }
        }
        installed = InstalledTranslators();
    }

    static QString menuTitle(const MainWindow &window)
    {
        return window.findChild<QMenu *>(QStringLiteral("menuFile"))->title();
    }

    static QAction *action(const MainWindow &window, const char *name)
    {
        return window.findChild<QAction *>(QLatin1String(name));
    }

private slots:
    void cleanup() { removeInstalled(); }

    void systemLocaleComesFromEnvironment()
    {
        QCOMPARE(QLocale::system().language(), QLocale::German);
    }

    void germanSessionGetsGermanForm()
    {
        installed = installTranslators(QLocale::system());
        QVERIFY(installed.program);

        MainWindow window;
        QCOMPARE(menuTitle(window), QString::fromUtf8("&Datei"));
        QCOMPARE(action(window, "action_Open")->text(), QString::fromUtf8("Ö&ffnen…"));
        QCOMPARE(action(window, "actionSave_All")->statusTip(),
                 QString::fromUtf8("Alle geöffneten Dateien verarbeiten"));
        QCOMPARE(action(window, "actionAbout")->text(), QString::fromUtf8("Ü&ber…"));
    }

    void tableAndPagesInGerman()
    {
        installed = installTranslators(QLocale::system());
        MainWindow window;
        const auto *table = window.findChild<QTableWidget *>(QStringLiteral("dskList"));
        QStringList headers;
        for (int column = 0; column < table->columnCount(); ++column)
            headers << table->horizontalHeaderItem(column)->text();
        QCOMPARE(headers, QStringList({"Datei", "Spuren", "Seiten", "Karte", "Defekte Sektoren", "TOS"}));
        QCOMPARE(window.findChild<QToolBox *>(QStringLiteral("toolBox"))->itemText(0),
                 QStringLiteral("Protokoll"));
        // Shortcuts keep their keys.
        QCOMPARE(action(window, "action_Open")->shortcut().toString(), QStringLiteral("Ctrl+O"));
    }

    // A refusal's reason in German where the window shows it; the log keeps
    // the words of the reader.
    void refusalReasonsInGerman_data()
    {
        QTest::addColumn<QByteArray>("bytes"); // empty: the folder itself
        QTest::addColumn<QString>("shown");
        QTest::addColumn<QString>("logged");
        QTest::newRow("not an image") << QByteArray(300, 'j') << QString::fromUtf8("Unbekanntes Dateiformat.")
                                      << "Unknown file format.";
        QTest::newRow("a folder") << QByteArray() << QString::fromUtf8("Keine reguläre Datei (ein Ordner); nicht gelesen.")
                                  << "Not a regular file (a folder); not read.";
    }

    void refusalReasonsInGerman()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, shown);
        QFETCH(QString, logged);
        installed = installTranslators(QLocale::system());
        QTemporaryDir dir;
        QString path = dir.path();
        if (!bytes.isEmpty()) {
            path = dir.filePath(QStringLiteral("junk.dsk"));
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(bytes);
        }
        MainWindow window;
        window.openImages({path});
        QCOMPARE(window.statusBar()->currentMessage(),
                 QString::fromUtf8("Abgelehnt %1: %2").arg(QFileInfo(path).fileName(), shown));
        QVERIFY(window.findChild<QTextEdit *>(QStringLiteral("log"))->toPlainText().contains(logged));
    }

    void regionalVariantFallsBackToLanguage()
    {
        installed = installTranslators(QLocale(QLocale::German, QLocale::Switzerland));
        QVERIFY(installed.program);
        MainWindow window;
        QCOMPARE(menuTitle(window), QString::fromUtf8("&Datei"));
    }

    void languageWithoutCatalogKeepsEnglish()
    {
        installed = installTranslators(QLocale(QLocale::Finnish, QLocale::Finland));
        QVERIFY(!installed.program);
        MainWindow window;
        QCOMPARE(menuTitle(window), QStringLiteral("&File"));
        QCOMPARE(action(window, "action_Open")->text(), QString::fromUtf8("&Open…"));
    }

    void everyShippedTranslationIsEmbedded()
    {
        installed = installTranslators(QLocale::c()); // makes the embedded catalogs available
        const QStringList shipped = QDir(QStringLiteral(MALVORE_TRANSLATIONS_DIR))
                                        .entryList({QStringLiteral("malvore_*.ts")}, QDir::Files);
        QVERIFY(!shipped.isEmpty());
        for (QString name : shipped) {
            name.replace(QLatin1String(".ts"), QLatin1String(".qm"));
            QTranslator translator;
            QVERIFY2(translator.load(QStringLiteral(":/i18n/") + name), qPrintable(name));
            QVERIFY2(!translator.isEmpty(), qPrintable(name));
        }
        // The template has no translations and must not be loaded as a fallback.
        QVERIFY(!QFile::exists(QStringLiteral(":/i18n/malvore.qm")));
    }
};

QTEST_MAIN(TestTranslations)
#include "test_translations.moc"
