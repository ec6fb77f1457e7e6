#include "windowarguments.h"

#include "mainwindow.h"

#include <QCommandLineParser>
#include <QTextStream>

namespace {
// Whether argument, before the application exists, may be one of the
// options Qt takes for itself: a word after a single dash that is none of
// ours. Qt has no list of them to ask for (the platform plugin adds its
// own, xcb's -display for one), and it takes them out of the command line
// only while the application object is made, which needs a display. So
// until then such a word is left alone: once the application has removed
// what is Qt's, the strict parse of what remains reports the rest. Our
// own options are spelled with two dashes, so a wrong one of those is
// reported at once, without a display.
bool mayBeQtOption(const QString &argument, const QStringList &ours)
{
    if (!argument.startsWith(QLatin1Char('-')) || argument.startsWith(QLatin1String("--")) || argument.size() < 2)
        return false;
    const QString name = argument.mid(1).section(QLatin1Char('='), 0, 0);
    return !ours.contains(name);
}
} // namespace

WindowArguments parseWindowArguments(const QStringList &arguments, QtOptions qt)
{
    QCommandLineParser parser;
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const QCommandLineOption help(QStringList{QStringLiteral("h"), QStringLiteral("help")});
    const QCommandLineOption version(QStringLiteral("version"));
    parser.addOptions({help, version});

    QStringList ours = arguments;
    if (qt == QtOptions::Present) {
        const QStringList names = help.names() + version.names();
        const int end = arguments.indexOf(QStringLiteral("--"));
        ours.clear();
        for (int i = 0; i < arguments.size(); ++i)
            if ((end >= 0 && i >= end) || !mayBeQtOption(arguments.at(i), names))
                ours << arguments.at(i);
    }

    WindowArguments parsed;
    const bool clean = parser.parse(QStringList{QStringLiteral("malvore")} + ours);
    if (parser.isSet(help)) {
        parsed.action = WindowArguments::ShowHelp;
    } else if (parser.isSet(version)) {
        parsed.action = WindowArguments::ShowVersion;
    } else if (!clean) {
        parsed.action = WindowArguments::UsageError;
        parsed.error = parser.errorText();
    } else if (qt == QtOptions::Removed) {
        // With Qt's options still there, which word is the value of one
        // (-platform xcb) is not known yet.
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
