#include "windowarguments.h"

#include "mainwindow.h"

#include <QCommandLineParser>
#include <QTextStream>

namespace {
// The options QGuiApplication and QApplication take from a command line.
const char *const qtValueOptions[] = {"platform", "platformpluginpath", "platformtheme", "plugin", "qwindowgeometry",
                                      "geometry", "qwindowicon", "icon", "qwindowtitle", "title", "style",
                                      "stylesheet", "display", "name", "session", "qmljsdebugger"};
const char *const qtFlagOptions[] = {"reverse", "widgetcount", "nograb", "dograb", "sync"};
} // namespace

WindowArguments parseWindowArguments(const QStringList &arguments, QtOptions qt)
{
    QCommandLineParser parser;
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const QCommandLineOption help(QStringList{QStringLiteral("h"), QStringLiteral("help")});
    const QCommandLineOption version(QStringLiteral("version"));
    parser.addOptions({help, version});
    if (qt == QtOptions::Present) {
        for (const char *name : qtValueOptions)
            parser.addOption(QCommandLineOption(QLatin1String(name), QString(), QStringLiteral("value")));
        for (const char *name : qtFlagOptions)
            parser.addOption(QCommandLineOption(QLatin1String(name)));
    }

    WindowArguments parsed;
    const bool clean = parser.parse(QStringList{QStringLiteral("malvore")} + arguments);
    if (parser.isSet(help)) {
        parsed.action = WindowArguments::ShowHelp;
    } else if (parser.isSet(version)) {
        parsed.action = WindowArguments::ShowVersion;
    } else if (!clean) {
        parsed.action = WindowArguments::UsageError;
        parsed.error = parser.errorText();
    } else {
        parsed.images = parser.positionalArguments();
    }
    return parsed;
}

QString WindowCommandLine::usage()
{
    return tr("Usage: malvore [FILE...]\n"
              "Shows TOS disk images (DSK or Extended DSK) in the window and rescues\n"
              "their files. Each FILE is opened as the Open command does.\n"
              "  -h, --help     show this help and exit\n"
              "  --version      show the version and exit\n");
}

QString WindowCommandLine::version()
{
    return QStringLiteral("TOS Malvore " MALVORE_VERSION);
}

int printWindowArguments(const WindowArguments &arguments, QTextStream &out, QTextStream &err)
{
    switch (arguments.action) {
    case WindowArguments::ShowHelp:
        out << WindowCommandLine::usage();
        break;
    case WindowArguments::ShowVersion:
        out << WindowCommandLine::version() << '\n';
        break;
    case WindowArguments::UsageError:
        err << "malvore: " << arguments.error << '\n' << WindowCommandLine::usage();
        err.flush();
        return 2;
    case WindowArguments::OpenWindow:
        break;
    }
    out.flush();
    return 0;
}

void startWindow(MainWindow &window, const WindowArguments &arguments)
{
    window.show();
    if (!arguments.images.isEmpty())
        window.openImages(arguments.images);
}
