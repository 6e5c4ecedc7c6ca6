#pragma once

#include <QDir>
#include <QImage>
#include <QString>

// Where pictures made by tests go for people to look at: $KELVANE_SHOTS_DIR, else the build
// folder's screenshots/.
namespace Screenshots {

inline QString folder() {
    QString dir = qEnvironmentVariable("KELVANE_SHOTS_DIR");
    if (dir.isEmpty())
        dir = QStringLiteral(KELVANE_BUILD_DIR) + QStringLiteral("/screenshots");
    QDir().mkpath(dir);
    return dir;
}

inline QString path(const QString& name) {
    return folder() + QLatin1Char('/') + name;
}

inline bool save(const QImage& image, const QString& name) {
    return image.save(path(name));
}

} // namespace Screenshots
