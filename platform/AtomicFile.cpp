#include "platform/AtomicFile.h"

#include <QDir>
#include <QFileInfo>
#include <QSaveFile>

namespace AtomicFile {

static constexpr QFileDevice::Permissions kOwnerOnly =
    QFileDevice::ReadOwner | QFileDevice::WriteOwner;

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
    // Narrow the temporary file before any secret byte lands in it.
    if (mode == Mode::OwnerOnly)
        file.setPermissions(kOwnerOnly);
    if (file.write(bytes) != bytes.size() || !file.commit())
        return fail(error, file.errorString());
    if (mode == Mode::OwnerOnly && !QFile::setPermissions(path, kOwnerOnly))
        return fail(error, QStringLiteral("cannot make the file private"));
    return true;
}

} // namespace AtomicFile
