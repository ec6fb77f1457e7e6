#include "rescuecli.h"

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
    return batchRescueMain(QCoreApplication::arguments().mid(1), out, err);
}
