#include "app/views/tests/support/SniHost.h"

#include <QDBusArgument>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusVariant>

namespace {

const QString kItemInterface = QStringLiteral("org.kde.StatusNotifierItem");

// a(iiay): images in ARGB32, network byte order.
QList<std::pair<QSize, QByteArray>> readPixmaps(const QDBusArgument& argument) {
    QList<std::pair<QSize, QByteArray>> pixmaps;
    argument.beginArray();
    while (!argument.atEnd()) {
        int width = 0, height = 0;
        QByteArray bytes;
        argument.beginStructure();
        argument >> width >> height >> bytes;
        argument.endStructure();
        pixmaps.append({QSize(width, height), bytes});
    }
    argument.endArray();
    return pixmaps;
}

QImage toImage(const QSize& size, const QByteArray& bytes) {
    QImage image(size, QImage::Format_ARGB32);
    if (bytes.size() < qsizetype(size.width()) * size.height() * 4)
        return {};
    const auto* p = reinterpret_cast<const uchar*>(bytes.constData());
    for (int y = 0; y < size.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < size.width(); ++x, p += 4)
            line[x] = qRgba(p[1], p[2], p[3], p[0]);
    }
    return image;
}

} // namespace

SniHost::SniHost(const QString& busAddress, QObject* parent)
    : QObject(parent), bus_(QDBusConnection::connectToBus(busAddress, QStringLiteral("sni-host"))) {
    if (!bus_.isConnected())
        return;
    const bool object =
        bus_.registerObject(QStringLiteral("/StatusNotifierWatcher"), this,
                            QDBusConnection::ExportAllSlots | QDBusConnection::ExportAllSignals |
                                QDBusConnection::ExportAllProperties);
    ready_ = object && bus_.registerService(QStringLiteral("org.kde.StatusNotifierWatcher"));
}

SniHost::~SniHost() {
    QDBusConnection::disconnectFromBus(QStringLiteral("sni-host"));
}

void SniHost::RegisterStatusNotifierItem(const QString& serviceOrPath) {
    const QString sender = message().service();
    if (serviceOrPath.startsWith(QLatin1Char('/'))) {
        itemService_ = sender;
        itemPath_ = serviceOrPath;
    } else {
        itemService_ = serviceOrPath;
        itemPath_ = QStringLiteral("/StatusNotifierItem");
    }
    const QString item = itemService_ + itemPath_;
    items_.append(item);
    bus_.connect(itemService_, itemPath_, kItemInterface, QStringLiteral("NewIcon"), this,
                 SLOT(onNewIcon()));
    bus_.connect(itemService_, itemPath_, kItemInterface, QStringLiteral("NewToolTip"), this,
                 SLOT(onNewToolTip()));
    emit StatusNotifierItemRegistered(item);
    readIcon();
    readToolTip();
}

void SniHost::RegisterStatusNotifierHost(const QString&) {}

void SniHost::onNewIcon() {
    ++newIcons_;
    readIcon();
}

void SniHost::onNewToolTip() {
    readToolTip();
}

void SniHost::readIcon() {
    QDBusMessage get = QDBusMessage::createMethodCall(
        itemService_, itemPath_, QStringLiteral("org.freedesktop.DBus.Properties"),
        QStringLiteral("Get"));
    get << kItemInterface << QStringLiteral("IconPixmap");
    auto* call = new QDBusPendingCallWatcher(bus_.asyncCall(get), this);
    connect(call, &QDBusPendingCallWatcher::finished, this, [this, call] {
        const QDBusPendingReply<QDBusVariant> reply = *call;
        call->deleteLater();
        if (reply.isError())
            return;
        const auto pixmaps = readPixmaps(reply.value().variant().value<QDBusArgument>());
        Frame frame;
        for (const auto& [size, bytes] : pixmaps) {
            frame.sizes.append(size);
            frame.payloadBytes += bytes.size();
            if (frame.image.isNull() || size.width() > frame.image.width())
                frame.image = toImage(size, bytes);
        }
        frames_.append(frame);
        emit frameReceived();
    });
}

void SniHost::readToolTip() {
    QDBusMessage get = QDBusMessage::createMethodCall(
        itemService_, itemPath_, QStringLiteral("org.freedesktop.DBus.Properties"),
        QStringLiteral("Get"));
    get << kItemInterface << QStringLiteral("ToolTip");
    auto* call = new QDBusPendingCallWatcher(bus_.asyncCall(get), this);
    connect(call, &QDBusPendingCallWatcher::finished, this, [this, call] {
        const QDBusPendingReply<QDBusVariant> reply = *call;
        call->deleteLater();
        if (reply.isError())
            return;
        // (s iconName, a(iiay) icon, s title, s text)
        const QDBusArgument argument = reply.value().variant().value<QDBusArgument>();
        QString iconName, title, text;
        argument.beginStructure();
        argument >> iconName;
        readPixmaps(argument);
        argument >> title >> text;
        argument.endStructure();
        toolTipTitle_ = title.isEmpty() ? text : title;
    });
}

bool SniHost::activate(int x, int y) {
    if (itemService_.isEmpty())
        return false;
    QDBusMessage call = QDBusMessage::createMethodCall(itemService_, itemPath_, kItemInterface,
                                                       QStringLiteral("Activate"));
    call << x << y;
    bus_.asyncCall(call);
    return true;
}
