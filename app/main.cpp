#include "app/cli/CommandLine.h"
#include "platform/Logging.h"

#include <QCoreApplication>

int main(int argc, char** argv) {
    QByteArrayList raw;
    for (int i = 0; i < argc; ++i)
        raw.append(QByteArray(argv[i]));
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("Kelvane"));
    QCoreApplication::setApplicationVersion(QStringLiteral(KELVANE_VERSION));
    Logging::install();
    return CommandLine::run(QCoreApplication::arguments(), raw);
}
