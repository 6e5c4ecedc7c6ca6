#include "platform/AtomicFile.h"

#include <QDir>
#include <QFileInfo>
#include <QSaveFile>

namespace AtomicFile {

static constexpr QFileDevice::Permissions kOwnerOnly =
    QFileDevice::ReadOwner | QFileDevice::WriteOwner;
static constexpr QFileDevice::Permissions kExecutable =
    kOwnerOnly | QFileDevice::ExeOwner | QFileDevice::ReadGroup | QFileDevice::ExeGroup |
    QFileDevice::ReadOther | QFileDevice::ExeOther;

static bool fail(QString* error, const QString& reason) {
    if (error)
        *error = reason;
    return false;
}

bool write(const QString& path, const QByteArray& bytes, Mode mode, QString* error) {
    const QString folder = QFileInfo(path).absolutePath();
    if (!QDir().mkpath(folder))
        return fail(error, QStringLiteral("cannot create the folder %1").arg(folder));
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return fail(error, file.errorString());
    // Shared files keep what the save file gives them (an existing file's mode). The others get
    // theirs on the temporary file, before any secret byte lands in it and before the rename,
    // so no reader ever sees the file with other permissions.
    const auto permissions = mode == Mode::OwnerOnly ? kOwnerOnly : kExecutable;
    if (mode != Mode::Shared && !file.setPermissions(permissions))
        return fail(error, file.errorString());
    if (file.write(bytes) != bytes.size() || !file.commit())
        return fail(error, file.errorString());
    if (mode != Mode::Shared && !QFile::setPermissions(path, permissions))
        return fail(error, mode == Mode::OwnerOnly
                               ? QStringLiteral("cannot make the file private")
                               : QStringLiteral("cannot make the file executable"));
    return true;
}

} // namespace AtomicFile
