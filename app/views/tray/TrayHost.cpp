#include "app/views/tray/TrayHost.h"

#include "app/views/ViewsLogging.h"
#include "platform/tray/TrayAvailability.h"

#include <QGuiApplication>
#include <QIcon>
#include <QMenu>
#include <QPixmap>
#include <QStyleHints>
#include <QSystemTrayIcon>

TrayHost::TrayHost(QObject* parent) : TrayHost(Options{}, parent) {}

TrayHost::TrayHost(Options options, QObject* parent)
    : QObject(parent), options_(options), availability_(new TrayAvailability(this)) {
    connect(&poll_, &QTimer::timeout, this, &TrayHost::poll);
    connect(availability_, &TrayAvailability::watcherChanged, this, &TrayHost::poll);
}

TrayHost::~TrayHost() = default;

QString TrayHost::backendName(Backend backend) {
    switch (backend) {
    case Backend::waiting:
        return QStringLiteral("waiting");
    case Backend::statusNotifier:
        return QStringLiteral("statusNotifier");
    case Backend::xembed:
        return QStringLiteral("xembed");
    }
    return {};
}

void TrayHost::start() {
    waited_.start();
    poll_.start(options_.firstPollInterval);
    poll();
}

void TrayHost::poll() {
    if (backend_ != Backend::waiting || checking_)
        return;
    checking_ = true;
    availability_->checkStatusNotifierHost([this](bool registered) {
        checking_ = false;
        if (backend_ != Backend::waiting)
            return;
        const bool waitedEnough = waited_.elapsed() >= options_.statusNotifierWait.count();
        if (registered)
            create(Backend::statusNotifier);
        else if (waitedEnough && TrayAvailability::hasXEmbedTray())
            create(Backend::xembed);
        else if (waitedEnough && poll_.interval() != int(options_.retryInterval.count())) {
            qCInfo(lcTray, "no tray on this desktop yet; still looking");
            poll_.start(options_.retryInterval);
        }
    });
}

void TrayHost::create(Backend backend) {
    poll_.stop();
    backend_ = backend;
    qCInfo(lcTray, "tray icon through %s", qUtf8Printable(backendName(backend)));
    icon_ = std::make_unique<QSystemTrayIcon>();
    if (!image_.isNull())
        icon_->setIcon(iconFor(image_));
    icon_->setToolTip(toolTip_);
    if (menu_)
        icon_->setContextMenu(menu_);
    connect(icon_.get(), &QSystemTrayIcon::activated, this,
            [this](QSystemTrayIcon::ActivationReason reason) {
                // An XEmbed double click reports its first click as a Trigger already; a
                // double click alone (a StatusNotifierItem host's) counts as one click.
                if (reason == QSystemTrayIcon::Trigger) {
                    lastTrigger_.start();
                    emit activated();
                } else if (reason == QSystemTrayIcon::DoubleClick &&
                           (!lastTrigger_.isValid() ||
                            lastTrigger_.elapsed() >
                                QGuiApplication::styleHints()->mouseDoubleClickInterval())) {
                    emit activated();
                }
            });
    icon_->show();
    emit ready();
}

void TrayHost::setMenu(QMenu* menu) {
    menu_ = menu;
    if (icon_)
        icon_->setContextMenu(menu);
}

QIcon TrayHost::iconFor(const QImage& image) {
    if (const auto it = icons_.constFind(image.cacheKey()); it != icons_.cend())
        return *it;
    if (icons_.size() >= 96)
        icons_.clear();
    // With a panel-sized copy of its own the icon needs no scaling when the panel asks.
    // Sizes in pixels: the tray protocols speak pixels, and a 2x image counted as 18 points
    // would go out as 18 pixels.
    QImage full = image;
    full.setDevicePixelRatio(1);
    QIcon icon(QPixmap::fromImage(full));
    QImage panelSized = image.scaled(22, 22, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    panelSized.setDevicePixelRatio(1);
    icon.addPixmap(QPixmap::fromImage(panelSized));
    icons_.insert(image.cacheKey(), icon);
    return icon;
}

QRect TrayHost::iconGeometry() const {
    return icon_ ? icon_->geometry() : QRect();
}

void TrayHost::showIcon(const QImage& image) {
    image_ = image;
    if (icon_)
        icon_->setIcon(iconFor(image));
}

void TrayHost::showToolTip(const QString& text) {
    toolTip_ = text;
    if (icon_)
        icon_->setToolTip(text);
}
