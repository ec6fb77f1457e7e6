#pragma once

#include <QCoreApplication>
#include <QString>
#include <QStringList>

class MainWindow;
class QTextStream;

// The window's command line: malvore [--help] [--version] [FILE...].
struct WindowArguments
{
    enum Action { OpenWindow, ShowHelp, ShowVersion, UsageError };
    Action action = OpenWindow;
    QStringList images; // as given, in order; "--" ends the options
    QString error;      // one line, for UsageError
};

// Whether the arguments may still hold the options Qt takes for itself
// (-platform NAME, -style NAME, -reverse ...), as before the application
// object removed them.
enum class QtOptions { Removed, Present };

// arguments: the command line without the program name. Help and version
// win over anything else on the line. With Qt's options present, words
// after a single dash that are not ours are left for the application and
// no images are returned: parse QCoreApplication::arguments() again once
// the application has taken its own.
WindowArguments parseWindowArguments(const QStringList &arguments, QtOptions qt = QtOptions::Removed);

class WindowCommandLine
{
    Q_DECLARE_TR_FUNCTIONS(WindowCommandLine)
public:
    static QString usage();
    static QString version();
};

// What the window prints instead of showing itself: help, version or a
// usage error. The result is the process exit status.
int printWindowArguments(const WindowArguments &arguments, QTextStream &out, QTextStream &err);

// Shows the window and opens the images named on the command line, as Open
// does once its dialog returns.
void startWindow(MainWindow &window, const WindowArguments &arguments);
