#pragma once

#include <QDir>
#include <QImage>
#include <QString>
#include <QWidget>

// Saves what a widget shows as a PNG for people to look at, under $KELVANE_SHOTS_DIR (the
// screenshot script's folder), else the build folder's screenshots/; returns the file's path.
namespace Screenshots {

// Pictures are drawn at twice the density so that people can read them on any screen.
inline constexpr qreal kPixelRatio = 2;

inline QString folder() {
    QString dir = qEnvironmentVariable("KELVANE_SHOTS_DIR");
#ifdef KELVANE_SCREENSHOT_DIR
    if (dir.isEmpty())
        dir = QStringLiteral(KELVANE_SCREENSHOT_DIR);
#endif
    if (dir.isEmpty())
        dir = QDir::tempPath() + "/kelvane-screenshots";
    QDir().mkpath(dir);
    return dir;
}

inline QString save(QWidget& widget, const QString& name) {
    const QString path = folder() + "/" + name + ".png";
    const qreal ratio = std::max(kPixelRatio, widget.devicePixelRatioF());
    QImage image(widget.size() * ratio, QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(ratio);
    image.fill(Qt::transparent);
    widget.render(&image);
    image.save(path);
    return path;
}

} // namespace Screenshots
