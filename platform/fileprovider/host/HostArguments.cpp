#include "platform/fileprovider/host/HostArguments.h"

#include "platform/fileprovider/FileProviderItemIdentifier.h"

#include <QDir>
#include <QFileInfo>

namespace HostArguments {

std::optional<QString> identifier(HostSession& session, const QString& argument, int* exitCode) {
    const auto id = HostSession::identifierFor(argument);
    if (!id)
        *exitCode =
            session.failWith(HostSession::kUsage, "not a path inside the domain: " + argument);
    return id;
}

std::optional<QString> itemPath(HostSession& session, const QString& argument, int* exitCode) {
    const auto id = identifier(session, argument, exitCode);
    if (id && !id->startsWith('/')) {
        *exitCode =
            session.failWith(HostSession::kUsage, "not an item below the root: " + argument);
        return std::nullopt;
    }
    return id;
}

QString parentIdentifierOf(const QString& path) {
    const qsizetype slash = path.lastIndexOf('/');
    return slash <= 0 ? FileProviderItemIdentifier::kRootContainer : path.left(slash);
}

QString nameOf(const QString& path) {
    return path.mid(path.lastIndexOf('/') + 1);
}

bool moveFile(const QString& from, const QString& to, QString* error) {
    const QFileInfo target(to);
    QDir().mkpath(target.absolutePath());
    if (target.exists() && !target.isDir())
        QFile::remove(to);
    if (QFile::rename(from, to))
        return true;
    QFile source(from);
    if (!source.copy(to)) {
        *error = QStringLiteral("cannot write %1: %2").arg(to, source.errorString());
        QFile::remove(from);
        return false;
    }
    QFile::remove(from);
    return true;
}

int completedTwice(HostSession& session) {
    return session.failWith(HostSession::kFailed,
                            QStringLiteral("the extension completed one request twice"));
}

} // namespace HostArguments
