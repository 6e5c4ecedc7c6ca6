#pragma once

#include "app/views/tray/SpinState.h"

#include <QImage>
#include <QObject>
#include <QTimer>

class AppDelegate;
class TraySurface;

// The tray's helm: coloured by the storage mode's state, turning while data moves, with a
// tooltip about the upload. It follows the file-provider status, the drives' state, the signed-in
// user and the activity reader, and pushes a frame to the surface only when it differs from the
// last one pushed (a tray host redraws on every push), the tooltip only when its text changes.
class StatusItem : public QObject {
    Q_OBJECT
public:
    static constexpr std::chrono::milliseconds kTickInterval{1000 / 30};

    explicit StatusItem(AppDelegate& delegate, QObject* parent = nullptr);

    // Null while no tray is there; a new surface gets the current frame and tooltip.
    void setSurface(TraySurface* surface);
    // Pixels per point the helm is drawn at; never below 2, so HiDPI panels get a sharp icon.
    void setDevicePixelRatio(qreal ratio);
    qreal devicePixelRatio() const { return devicePixelRatio_; }

    void updateStatusIcon();
    void syncActivityChanged();

    const SpinState& spin() const { return spin_; }
    bool isTimerRunning() const { return timer_.isActive(); }
    QImage currentFrame() const { return lastFrame_; }
    QString currentToolTip() const { return lastToolTip_; }
    int iconPushes() const { return iconPushes_; }
    int toolTipPushes() const { return toolTipPushes_; }

private:
    void spinTick();

    AppDelegate& delegate_;
    TraySurface* surface_ = nullptr;
    qreal devicePixelRatio_ = 2;
    SpinState spin_;
    QTimer timer_;
    QImage lastFrame_;
    QString lastToolTip_;
    int iconPushes_ = 0;
    int toolTipPushes_ = 0;
};
