#include "platform/Logging.h"

#include <cstdio>

Q_LOGGING_CATEGORY(lcPlatform, "com.30814qv.kelvane.platform")
Q_LOGGING_CATEGORY(lcApi, "com.30814qv.kelvane.api")
Q_LOGGING_CATEGORY(lcSettings, "com.30814qv.kelvane.settings")
Q_LOGGING_CATEGORY(lcMount, "com.30814qv.kelvane.mount")
Q_LOGGING_CATEGORY(lcImport, "com.30814qv.kelvane.import")
Q_LOGGING_CATEGORY(lcActivity, "com.30814qv.kelvane.activity")
Q_LOGGING_CATEGORY(lcShell, "com.30814qv.kelvane.shell")
Q_LOGGING_CATEGORY(lcFileProviderDomain, "com.30814qv.kelvane.fileprovider-domain")

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
