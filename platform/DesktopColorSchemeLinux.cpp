#include "platform/DesktopColorScheme.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusVariant>

namespace {
const QString kService = QStringLiteral("org.freedesktop.portal.Desktop");
const QString kPath = QStringLiteral("/org/freedesktop/portal/desktop");
const QString kInterface = QStringLiteral("org.freedesktop.portal.Settings");
const QString kGroup = QStringLiteral("org.freedesktop.appearance");
const QString kKey = QStringLiteral("color-scheme");
constexpr int kAnswerLimitMs = 2000;

// The portal wraps the value in one or two variants, depending on its version.
QVariant unwrap(QVariant value) {
    for (int depth = 0; depth < 3 && value.canConvert<QDBusVariant>(); ++depth)
        value = value.value<QDBusVariant>().variant();
    return value;
}
} // namespace

// Receives the portal's change signal, which Qt D-Bus can only deliver to a named slot.
class PortalSettingsListener : public QObject {
    Q_OBJECT
public:
    explicit PortalSettingsListener(DesktopColorScheme& scheme)
        : QObject(&scheme), scheme_(scheme) {}

public slots:
    void settingChanged(const QString& group, const QString& key, const QDBusVariant& value) {
        if (group != kGroup || key != kKey)
            return;
        bool ok = false;
        const uint scheme = unwrap(value.variant()).toUInt(&ok);
        scheme_.apply(ok ? DesktopColorScheme::fromPortalValue(scheme) : std::nullopt);
    }

private:
    DesktopColorScheme& scheme_;
};

DesktopColorScheme::DesktopColorScheme(QObject* parent) : QObject(parent) {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return;
    bus.connect(kService, kPath, kInterface, QStringLiteral("SettingChanged"),
                new PortalSettingsListener(*this),
                SLOT(settingChanged(QString, QString, QDBusVariant)));
    QDBusMessage read =
        QDBusMessage::createMethodCall(kService, kPath, kInterface, QStringLiteral("Read"));
    read << kGroup << kKey;
    auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(read, kAnswerLimitMs), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, watcher] {
        watcher->deleteLater();
        const QDBusMessage reply = watcher->reply();
        if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty())
            return;
        const QVariant value = unwrap(reply.arguments().constFirst());
        bool ok = false;
        const uint scheme = value.toUInt(&ok);
        if (ok)
            apply(fromPortalValue(scheme));
    });
}

std::optional<bool> DesktopColorScheme::fromPortalValue(uint value) {
    if (value == 1)
        return true;
    if (value == 2)
        return false;
    return std::nullopt;
}

void DesktopColorScheme::apply(std::optional<bool> prefersDark) {
    if (prefersDark == prefersDark_)
        return;
    prefersDark_ = prefersDark;
    emit changed();
}

#include "DesktopColorSchemeLinux.moc"
