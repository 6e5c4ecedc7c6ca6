#include "platform/Tar.h"

#include <QStringList>

namespace Tar {

QCoro::Task<ChildProcess::Result> extractGzip(QString archive, QString folder,
                                              std::chrono::milliseconds limit) {
    // --no-same-owner: files belong to the user who unpacks, whatever the archive says.
    const QStringList arguments{QStringLiteral("--no-same-owner"), QStringLiteral("-xzf"), archive,
                                QStringLiteral("-C"), folder};
    ChildProcess::Result result = co_await ChildProcess::run(kProgram, arguments, limit);
    co_return result;
}

} // namespace Tar
