#include "mainwindow.h"
#include "translations.h"
#include "windowarguments.h"

#include <QApplication>
#include <QLocale>
#include <QTextStream>

#include <cstdio>

int main(int argc, char *argv[])
{
    QCoreApplication::setOrganizationName(QStringLiteral("kestrin"));
    QCoreApplication::setOrganizationDomain(QStringLiteral("kestrin.org"));
    QCoreApplication::setApplicationName(QStringLiteral("malvore"));
    QCoreApplication::setApplicationVersion(QStringLiteral(MALVORE_VERSION));

    QTextStream out(stdout);
    QTextStream err(stderr);
    // Help, version and a wrong option of ours need no display: they are
    // printed before any window system is asked for. A wrong single-dash
    // word might be Qt's and is reported once the application took Qt's.
    QStringList given;
    for (int i = 1; i < argc; ++i)
        given << QString::fromLocal8Bit(argv[i]);
    const WindowArguments asked = parseWindowArguments(given, QtOptions::Present);
    if (asked.action != WindowArguments::OpenWindow) {
        QCoreApplication app(argc, argv);
        installTranslators(QLocale::system());
        return printWindowArguments(asked, out, err);
    }

    QApplication app(argc, argv);
    QGuiApplication::setDesktopFileName(QStringLiteral("org.kestrin.malvore"));
    installTranslators(QLocale::system());
    // Qt's own options (-platform, -style ...) are gone from the arguments now.
    const WindowArguments arguments = parseWindowArguments(QCoreApplication::arguments().mid(1));
    if (arguments.action != WindowArguments::OpenWindow)
        return printWindowArguments(arguments, out, err);
    MainWindow window;
    // Images named on the command line, as the launcher's %F hands them over.
    startWindow(window, arguments);
    return app.exec();
}
