#include "platform/Logging.h"

#include <cstdio>

Q_LOGGING_CATEGORY(lcPlatform, "com.30814qv.kelvane.platform")

namespace Logging {

static void handler(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    static const char* const kinds[] = {"debug", "warning", "critical", "fatal", "info"};
    const char* category = context.category ? context.category : "default";
    std::fprintf(stderr, "%s %s: %s\n", kinds[type], category, qPrintable(message));
    std::fflush(stderr);
}

void install() {
    qInstallMessageHandler(handler);
    // Debug lines are for developers; QT_LOGGING_RULES turns them on.
    if (qEnvironmentVariableIsEmpty("QT_LOGGING_RULES"))
        QLoggingCategory::setFilterRules(QStringLiteral("com.30814qv.kelvane.*.debug=false"));
}

} // namespace Logging
