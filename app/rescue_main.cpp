#include "rescuecli.h"
#include "rescue/interruption.h"
#include "rescue/pathidentity.h"

#include <QCoreApplication>
#include <QTextStream>

#include <cstdio>

int main(int argc, char *argv[])
{
    QCoreApplication::setOrganizationName(QStringLiteral("kestrin"));
    QCoreApplication::setOrganizationDomain(QStringLiteral("kestrin.org"));
    QCoreApplication::setApplicationName(QStringLiteral("malvore"));

    QCoreApplication app(argc, argv);
    QTextStream out(stdout);
    QTextStream err(stderr);
    out.setCodec("UTF-8");
    err.setCodec("UTF-8");
    // SIGINT and SIGTERM stop the rescue between two files: the file being
    // written is finished, no new one is begun, and the exit status says
    // which signal it was, as a shell would for a process it killed.
    installInterruptionHandlers();
    // From argv itself: an image whose name is not valid text is still
    // opened by its own bytes.
    const int status = batchRescueMain(commandLinePaths(argc, argv), out, err);
    if (interruptionRequested()) {
        out.flush();
        err << "malvore-rescue: interrupted; the files written so far are complete\n";
        err.flush();
        return 128 + interruptionSignal();
    }
    return status;
}
