#pragma once

#include <optional>

// The helm's turn: resting (angle 0), turning freely while data moves (π/120 per tick, 45° a
// second at 30 ticks), and settling after the activity stops: easing onto the next spoke-aligned
// angle at least one step ahead, then resting at 0, which looks the same since the helm has
// eight-fold symmetry. Plain state: the tray's timer calls tick().
class SpinState {
public:
    static constexpr double kStep = 3.14159265358979323846 / 120;
    static constexpr double kSpokeAngle = 3.14159265358979323846 / 4;
    static constexpr double kEasing = 0.15;
    static constexpr double kStopDistance = 0.004;

    // Whether data moves now; true when the timer must run (turning or settling).
    bool setBusy(bool busy);
    // One 1/30 s step; false when the helm has come to rest (the timer stops).
    bool tick();
    void stop();

    double angle() const { return angle_; }
    std::optional<double> target() const { return target_; }
    bool isRunning() const { return running_; }

    // The resting angle settling aims for from this angle.
    static double settleTarget(double angle);

private:
    double angle_ = 0;
    std::optional<double> target_;
    bool running_ = false;
};
