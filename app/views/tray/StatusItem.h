#pragma once

#include "app/views/tray/SpinState.h"

#include <QHash>
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

    // Re-reads every input (sign-in, storage state, theme, activity) and pushes what changed.
    void updateStatusIcon();
    void syncActivityChanged();

    const SpinState& spin() const { return spin_; }
    bool isTimerRunning() const { return timer_.isActive(); }
    QImage currentFrame() const { return lastFrame_; }
    QString currentToolTip() const { return lastToolTip_; }
    int iconPushes() const { return iconPushes_; }
    int toolTipPushes() const { return toolTipPushes_; }

private:
    struct FrameKey {
        QRgb color;
        qint64 angle; // micro-radians, folded onto one spoke step
        bool syncing;
        qreal ratio;
        bool operator==(const FrameKey&) const = default;
    };
    friend size_t qHash(const FrameKey& key, size_t seed) {
        return qHashMulti(seed, key.color, key.angle, key.syncing, key.ratio);
    }
    // While turning freely the helm passes the same 30 angles of one spoke step again and
    // again (eight-fold symmetry), so those frames are drawn once and then reused; the same
    // image also lets the tray reuse its icon and scaled copies.
    QImage frameFor(const QColor& color, bool syncing);
    // A spin tick only turns the helm: the colour, read with the sign-in state from the
    // credential store, is resolved when the state changes, not 30 times a second.
    void pushFrame();
    void pushToolTip();
    void spinTick();

    AppDelegate& delegate_;
    TraySurface* surface_ = nullptr;
    qreal devicePixelRatio_ = 2;
    SpinState spin_;
    QTimer timer_;
    QColor color_;
    QHash<FrameKey, QImage> frames_;
    QImage lastFrame_;
    QString lastToolTip_;
    int iconPushes_ = 0;
    int toolTipPushes_ = 0;
};
