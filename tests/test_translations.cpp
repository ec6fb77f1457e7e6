#include "mainwindow.h"
#include "translations.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QLocale>
#include <QMenu>
#include <QTableWidget>
#include <QTest>
#include <QToolBox>
#include <QTranslator>

// The translator set-up of the entry function, seen through the form: ctest
// starts this test with LC_ALL=de_DE.UTF-8, and the shipped German catalog
// translates the menus and actions but not the table headers.
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
        QCOMPARE(action(window, "action_Open")->text(), QString::fromUtf8("Ö&ffnen"));
        QCOMPARE(action(window, "actionSave_All")->statusTip(),
                 QString::fromUtf8("Alle geöffneten Dateien verarbeiten"));
        QCOMPARE(action(window, "actionAbout")->text(), QString::fromUtf8("Über"));
    }

    void untranslatedTextsKeepTheFormText()
    {
        installed = installTranslators(QLocale::system());
        MainWindow window;
        const auto *table = window.findChild<QTableWidget *>(QStringLiteral("dskList"));
        QCOMPARE(table->horizontalHeaderItem(1)->text(), QStringLiteral("Tracks"));
        QCOMPARE(window.findChild<QToolBox *>(QStringLiteral("toolBox"))->itemText(0),
                 QStringLiteral("Log"));
        QCOMPARE(action(window, "action_Open")->shortcut().toString(), QStringLiteral("Ctrl+O"));
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
        QCOMPARE(action(window, "action_Open")->text(), QStringLiteral("&Open"));
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
