#pragma once

#include "app/views/tray/TraySurface.h"

#include <QElapsedTimer>
#include <QHash>
#include <QIcon>
#include <QImage>
#include <QObject>
#include <QRect>
#include <QTimer>
#include <chrono>
#include <memory>

class QMenu;
class QSystemTrayIcon;
class TrayAvailability;

// The icon in the desktop's tray. It is created only once a tray is there: a StatusNotifierItem
// host, or, after a bounded wait for one, an XEmbed tray manager; while neither is there it
// keeps looking. The icon shows the menu on a right click and reports a click or a
// double-click (GNOME's AppIndicator sends only the latter) as activated().
class TrayHost : public QObject, public TraySurface {
    Q_OBJECT
public:
    enum class Backend { waiting, statusNotifier, xembed };
    struct Options {
        // How long a StatusNotifierItem host is waited for before XEmbed is taken.
        std::chrono::milliseconds statusNotifierWait{10'000};
        std::chrono::milliseconds firstPollInterval{250};
        std::chrono::milliseconds retryInterval{2'000};
    };

    explicit TrayHost(QObject* parent = nullptr);
    explicit TrayHost(Options options, QObject* parent = nullptr);
    ~TrayHost() override;

    void start();
    void setMenu(QMenu* menu);
    Backend backend() const { return backend_; }
    static QString backendName(Backend backend);
    // The icon's place on screen; empty when the tray does not say (StatusNotifierItem never
    // does).
    QRect iconGeometry() const;

    void showIcon(const QImage& image) override;
    void showToolTip(const QString& text) override;

signals:
    void ready();
    void activated();

private:
    void poll();
    void create(Backend backend);
    // The icon for a frame: one per distinct image, so Qt's scaled copies are made once too.
    QIcon iconFor(const QImage& image);

    Options options_;
    TrayAvailability* availability_ = nullptr;
    std::unique_ptr<QSystemTrayIcon> icon_;
    QMenu* menu_ = nullptr;
    Backend backend_ = Backend::waiting;
    QTimer poll_;
    QElapsedTimer waited_;
    QElapsedTimer lastTrigger_;
    bool checking_ = false;
    QImage image_;
    QHash<qint64, QIcon> icons_;
    QString toolTip_;
};
