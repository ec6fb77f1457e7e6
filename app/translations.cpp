#include "translations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

// The catalogs live in a resource file of this static library; referencing its
// initializer keeps the linker from dropping it.
static void initTranslationResources()
{
    Q_INIT_RESOURCE(malvore_translations);
}

static QTranslator *loadAndInstall(const QLocale &locale, const QString &catalog,
                                   const QString &directory)
{
    auto *translator = new QTranslator(QCoreApplication::instance());
    if (!translator->load(locale, catalog, QStringLiteral("_"), directory)
        || !QCoreApplication::installTranslator(translator)) {
        delete translator;
        return nullptr;
    }
    return translator;
}

InstalledTranslators installTranslators(const QLocale &locale)
{
    initTranslationResources();
    InstalledTranslators installed;
    installed.qt = loadAndInstall(locale, QStringLiteral("qtbase"),
                                  QLibraryInfo::location(QLibraryInfo::TranslationsPath));
    installed.program = loadAndInstall(locale, QStringLiteral("malvore"), QStringLiteral(":/i18n"));
    return installed;
}
