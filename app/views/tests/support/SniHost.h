#pragma once

#include <QDBusConnection>
#include <QDBusContext>
#include <QImage>
#include <QList>
#include <QObject>
#include <QStringList>

// A StatusNotifierItem watcher and host, as a desktop panel would run them, on a bus of the
// test's own: it takes org.kde.StatusNotifierWatcher, says a host is registered, and for every
// item that registers re-reads IconPixmap on each NewIcon (as panels do, so the cost of a frame
// is what a real panel pays) and can send it Activate.
class SniHost : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.kde.StatusNotifierWatcher")
    Q_PROPERTY(QStringList RegisteredStatusNotifierItems READ registeredItems)
    Q_PROPERTY(bool IsStatusNotifierHostRegistered READ isHostRegistered)
    Q_PROPERTY(int ProtocolVersion READ protocolVersion)
public:
    struct Frame {
        QImage image;       // the largest of the sizes sent
        QList<QSize> sizes; // every size in the message
        qint64 payloadBytes = 0;
    };

    // Connects to the bus at this address; isReady() says whether the names were taken.
    explicit SniHost(const QString& busAddress, QObject* parent = nullptr);
    ~SniHost() override;

    bool isReady() const { return ready_; }
    QStringList registeredItems() const { return items_; }
    bool isHostRegistered() const { return true; }
    int protocolVersion() const { return 0; }

    const QList<Frame>& frames() const { return frames_; }
    int newIconSignals() const { return newIcons_; }
    QString toolTipTitle() const { return toolTipTitle_; }
    // Sends Activate(x, y) to the first registered item; false when none is there.
    bool activate(int x = 0, int y = 0);

public Q_SLOTS:
    void RegisterStatusNotifierItem(const QString& serviceOrPath);
    void RegisterStatusNotifierHost(const QString& service);

Q_SIGNALS:
    void StatusNotifierItemRegistered(const QString& item);
    void StatusNotifierItemUnregistered(const QString& item);
    void StatusNotifierHostRegistered();
    void frameReceived();

private Q_SLOTS:
    void onNewIcon();
    void onNewToolTip();

private:
    void readIcon();
    void readToolTip();

    QDBusConnection bus_;
    bool ready_ = false;
    QStringList items_;
    QString itemService_;
    QString itemPath_;
    QList<Frame> frames_;
    int newIcons_ = 0;
    QString toolTipTitle_;
};
