#pragma once

#include <QDir>
#include <QString>
#include <QWidget>

// Saves what a widget shows as a PNG for people to look at, under the build folder's
// screenshots/ (or KELVANE_SCREENSHOT_DIR); returns the file's path.
namespace Screenshots {

inline QString folder() {
    const QByteArray chosen = qgetenv("KELVANE_SCREENSHOT_DIR");
#ifdef KELVANE_SCREENSHOT_DIR
    const QString dir =
        chosen.isEmpty() ? QStringLiteral(KELVANE_SCREENSHOT_DIR) : QString::fromLocal8Bit(chosen);
#else
    const QString dir = chosen.isEmpty() ? QDir::tempPath() + "/kelvane-screenshots"
                                         : QString::fromLocal8Bit(chosen);
#endif
    QDir().mkpath(dir);
    return dir;
}

inline QString save(QWidget& widget, const QString& name) {
    const QString path = folder() + "/" + name + ".png";
    widget.grab().save(path);
    return path;
}

} // namespace Screenshots
