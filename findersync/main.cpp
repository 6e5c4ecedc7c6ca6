#include "findersync/FinderSyncHost.h"
#include "platform/Logging.h"

#include <QCoreApplication>

int main(int argc, char** argv) {
    // Taken before Qt sees them: paths are bytes, and a name that is not UTF-8 must survive.
    QList<QByteArray> arguments;
    for (int i = 0; i < argc; ++i)
        arguments.append(QByteArray(argv[i]));
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("kelvane-findersync"));
    Logging::install();
    return FinderSyncHost::run(arguments);
}
