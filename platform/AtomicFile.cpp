#include "platform/AtomicFile.h"

#include <QDir>
#include <QFileInfo>
#include <QSaveFile>

namespace AtomicFile {

static constexpr QFileDevice::Permissions kOwnerOnly =
    QFileDevice::ReadOwner | QFileDevice::WriteOwner;

bool write(const QString& path, const QByteArray& bytes, Mode mode) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    // Narrow the temporary file before any secret byte lands in it.
    if (mode == Mode::OwnerOnly)
        file.setPermissions(kOwnerOnly);
    if (file.write(bytes) != bytes.size() || !file.commit())
        return false;
    if (mode == Mode::OwnerOnly)
        return QFile::setPermissions(path, kOwnerOnly);
    return true;
}

} // namespace AtomicFile
