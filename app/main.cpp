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
    // Images named on the command line, as the launcher's %F hands them over.
    const QStringList images = QCoreApplication::arguments().mid(1);
    if (!images.isEmpty())
        window->openImages(images);
    const int result = app.exec();
    delete window;
    return result;
}
