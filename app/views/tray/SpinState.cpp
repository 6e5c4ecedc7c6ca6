#include "app/views/tray/SpinState.h"

#include <cmath>
#include <numbers>

double SpinState::settleTarget(double angle) {
    return (std::floor(angle / kSpokeAngle) + 2) * kSpokeAngle;
}

bool SpinState::setBusy(bool busy) {
    if (busy) {
        target_.reset();
        running_ = true;
    } else if (running_ && !target_) {
        target_ = settleTarget(angle_);
    }
    return running_;
}

bool SpinState::tick() {
    if (!running_)
        return false;
    if (!target_) {
        angle_ += kStep;
        if (angle_ > 2 * std::numbers::pi)
            angle_ -= 2 * std::numbers::pi;
        return true;
    }
    angle_ += (*target_ - angle_) * kEasing;
    if (std::abs(*target_ - angle_) < kStopDistance) {
        stop();
        return false;
    }
    return true;
}

void SpinState::stop() {
    running_ = false;
    target_.reset();
    angle_ = 0;
}
