#include "app/views/common/Symbols.h"

#include "app/views/common/SymbolDrawings.h"

#include <QHash>
#include <QIcon>
#include <QPainter>

namespace Symbols {

namespace {

const QHash<QString, QStringList>& mapping() {
    static const QHash<QString, QStringList> names{
        {"externaldrive", {"drive-harddisk-symbolic", "drive-harddisk"}},
        {"externaldrive.fill", {"drive-harddisk-symbolic", "drive-harddisk"}},
        {"exclamationmark.triangle.fill", {"dialog-warning-symbolic", "dialog-warning"}},
        {"arrow.down.circle.fill",
         {"software-update-available-symbolic", "software-update-available"}},
        {"arrow.down.circle", {"software-update-available-symbolic", "system-software-update"}},
        {"arrow.up.circle.fill", {"network-transmit-symbolic", "network-transmit"}},
        {"puzzlepiece.extension.fill", {"application-x-addon-symbolic", "application-x-addon"}},
        {"hand.point.up.left.fill", {"dialog-information-symbolic", "dialog-information"}},
        {"link", {"insert-link-symbolic", "insert-link"}},
        {"safari", {"web-browser-symbolic", "web-browser"}},
        {"gearshape", {"preferences-system-symbolic", "preferences-system"}},
        {"gear", {"emblem-system-symbolic", "preferences-system"}},
        {"xmark", {"window-close-symbolic", "window-close"}},
        {"square.and.arrow.down", {"document-import-symbolic", "document-import"}},
        {"square.and.arrow.down.fill", {"document-import-symbolic", "document-import"}},
        {"checkmark.circle.fill", {"emblem-ok-symbolic", "emblem-default"}},
        {"arrow.triangle.2.circlepath", {"view-refresh-symbolic", "view-refresh"}},
        {"arrow.up", {"go-up-symbolic", "go-up"}},
        {"arrow.down", {"go-down-symbolic", "go-down"}},
        {"folder", {"folder-symbolic", "folder"}},
        {"globe", {"globe-symbolic", "applications-internet"}},
        {"cloud", {"weather-overcast-symbolic", "folder-cloud", "weather-overcast"}},
        {"power", {"system-shutdown-symbolic", "application-exit"}},
    };
    return names;
}

// The first theme icon that actually renders (a theme may list an icon in a format this
// installation cannot read).
QPixmap themePixmap(const QString& symbol, int size, qreal ratio) {
    if (QIcon::themeName().isEmpty())
        return {};
    for (const QString& name : themeNames(symbol)) {
        if (!QIcon::hasThemeIcon(name))
            continue;
        QPixmap pixmap = QIcon::fromTheme(name).pixmap(QSize(size, size), ratio);
        if (!pixmap.isNull())
            return pixmap;
    }
    return {};
}

QPixmap tinted(QPixmap pixmap, const QColor& tint) {
    {
        QPainter painter(&pixmap);
        painter.setCompositionMode(QPainter::CompositionMode_SourceIn);
        painter.fillRect(pixmap.rect(), tint);
    }
    return pixmap;
}

QPixmap drawn(const QString& symbol, int size, const QColor& tint, qreal ratio) {
    QPixmap pixmap(QSize(size, size) * ratio);
    pixmap.setDevicePixelRatio(ratio);
    pixmap.fill(Qt::transparent);
    bool known = false;
    {
        QPainter painter(&pixmap);
        known = SymbolDrawings::draw(painter, symbol, QRectF(0, 0, size, size), tint);
    }
    return known ? pixmap : QPixmap();
}

} // namespace

QStringList themeNames(const QString& symbol) {
    return mapping().value(symbol);
}

QStringList all() {
    QStringList names = mapping().keys();
    names.sort();
    return names;
}

Source source(const QString& symbol) {
    if (!themePixmap(symbol, 16, 1.0).isNull())
        return Source::theme;
    return SymbolDrawings::symbols().contains(symbol) ? Source::bundled : Source::none;
}

QPixmap pixmap(const QString& symbol, int size, const QColor& tint, qreal devicePixelRatio) {
    const QPixmap fromTheme = themePixmap(symbol, size, devicePixelRatio);
    if (!fromTheme.isNull())
        return tinted(fromTheme, tint);
    return drawn(symbol, size, tint, devicePixelRatio);
}

} // namespace Symbols
