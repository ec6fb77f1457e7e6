#include "mainwindow.h"
#include "translations.h"

#include <QApplication>
#include <QLocale>

int main(int argc, char *argv[])
{
    QCoreApplication::setOrganizationName(QStringLiteral("kestrin"));
    QCoreApplication::setOrganizationDomain(QStringLiteral("kestrin.org"));
    QCoreApplication::setApplicationName(QStringLiteral("malvore"));

    QApplication app(argc, argv);
    QGuiApplication::setDesktopFileName(QStringLiteral("org.kestrin.malvore"));
    installTranslators(QLocale::system());
    auto *window = new MainWindow;
    window->show();
    const int result = app.exec();
    delete window;
    return result;
}
