#include "app/cli/CommandLine.h"
#include "app/views/TrayApp.h"
#include "platform/Logging.h"

#include <QApplication>
#include <QCoreApplication>

namespace {

void describeApplication() {
    QCoreApplication::setApplicationName(QStringLiteral("Kelvane"));
    QCoreApplication::setApplicationVersion(QStringLiteral(KELVANE_VERSION));
    Logging::install();
}

} // namespace

int main(int argc, char** argv) {
    if (TrayApp::wanted(argc, argv)) {
        QApplication app(argc, argv);
        describeApplication();
        const QStringList arguments = QCoreApplication::arguments();
        return TrayApp::run(arguments.size() > 1 ? std::optional(arguments[1]) : std::nullopt);
    }
    QByteArrayList raw;
    for (int i = 0; i < argc; ++i)
        raw.append(QByteArray(argv[i]));
    QCoreApplication app(argc, argv);
    describeApplication();
    return CommandLine::run(QCoreApplication::arguments(), raw);
}
