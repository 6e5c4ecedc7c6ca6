#pragma once

#include <QDBusConnection>
#include <QObject>
#include <QStringList>

// The desktop's file manager as D-Bus offers it (org.freedesktop.FileManager1), on the test's
// own bus: it records what it was asked to show.
class FileManagerDouble : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.FileManager1")
public:
    explicit FileManagerDouble(const QString& busAddress, QObject* parent = nullptr)
        : QObject(parent),
          bus_(QDBusConnection::connectToBus(busAddress, QStringLiteral("file-manager"))) {
        ready_ = bus_.registerObject(QStringLiteral("/org/freedesktop/FileManager1"), this,
                                     QDBusConnection::ExportAllSlots) &&
                 bus_.registerService(QStringLiteral("org.freedesktop.FileManager1"));
    }
    ~FileManagerDouble() override {
        QDBusConnection::disconnectFromBus(QStringLiteral("file-manager"));
    }
    bool isReady() const { return ready_; }
    // "ShowFolders file:///…" and the like, in the order asked.
    QStringList calls;

public Q_SLOTS:
    void ShowFolders(const QStringList& uris, const QString&) {
        calls << "ShowFolders " + uris.join(' ');
    }
    void ShowItems(const QStringList& uris, const QString&) {
        calls << "ShowItems " + uris.join(' ');
    }
    void ShowItemProperties(const QStringList& uris, const QString&) {
        calls << "ShowItemProperties " + uris.join(' ');
    }

private:
    QDBusConnection bus_;
    bool ready_ = false;
};
