#include "platform/Fusermount.h"

#include "platform/ChildProcess.h"
#include "platform/Logging.h"

#include <QFileInfo>
#include <chrono>

namespace Fusermount {

QStringList defaultHelpers() {
    return {QStringLiteral("/usr/bin/fusermount3"), QStringLiteral("/bin/fusermount3"),
            QStringLiteral("/usr/bin/fusermount"), QStringLiteral("/bin/fusermount")};
}

QCoro::Task<bool> detachLazily(QString mountPoint, QStringList helpers) {
    for (const QString& helper : helpers) {
        if (!QFileInfo(helper).isExecutable())
            continue;
        const QStringList arguments{QStringLiteral("-u"), QStringLiteral("-z"), mountPoint};
        const ChildProcess::Result result =
            co_await ChildProcess::run(helper, arguments, std::chrono::seconds(10));
        if (result.succeeded)
            co_return true;
        qCWarning(lcPlatform, "%s -uz %s failed: %s", qUtf8Printable(helper),
                  qUtf8Printable(mountPoint),
                  qUtf8Printable(result.started ? QString::fromUtf8(result.output.trimmed())
                                                : result.error));
    }
    co_return false;
}

} // namespace Fusermount
