#include "app/activity/UploadBurstModel.h"

#include "app/activity/SaturatingMath.h"

#include <algorithm>

namespace {

double seconds(UploadBurstModel::TimePoint::duration d) {
    return std::chrono::duration<double>(d).count();
}

} // namespace

void UploadBurstModel::update(qint64 backlog, qint64 putBytes, TimePoint now) {
    backlogBytes_ = backlog;
    if (lastPutBytes_ && putBytes < *lastPutBytes_) {
        // JuiceFS restarted and its total began again. A running burst continues from the new
        // total; an idle one is left idle so the next backlog starts a burst with its own
        // start time (and so can show an estimate).
        if (burstBasePutBytes_)
            burstBasePutBytes_ = putBytes;
        lastPutBytes_ = putBytes;
        uploadRate_ = 0;
    }
    if (backlog < 1) {
        if (burstBasePutBytes_ && ++idleTicks_ >= kEndOfBurstTicks) {
            endBurst();
            lastPutBytes_ = putBytes;
            lastTickAt_ = now;
            return;
        }
    } else {
        idleTicks_ = 0;
        if (!burstBasePutBytes_) {
            burstBasePutBytes_ = lastPutBytes_.value_or(putBytes);
            burstStartedAt_ = now;
        }
    }
    if (burstBasePutBytes_)
        uploadedThisBurst_ =
            std::max<qint64>(SaturatingMath::subtract(putBytes, *burstBasePutBytes_), 0);
    updateRate(putBytes, now);
    if (estimateAllowed(backlog, now))
        uploadETA_ = static_cast<double>(backlog) / uploadRate_;
    else
        uploadETA_.reset();
    lastPutBytes_ = putBytes;
    lastTickAt_ = now;
}

void UploadBurstModel::updateRate(qint64 putBytes, TimePoint now) {
    if (!lastPutBytes_ || !lastTickAt_)
        return;
    const double dt = seconds(now - *lastTickAt_);
    if (dt <= kMinSampleSeconds)
        return;
    const qint64 grown = std::max<qint64>(SaturatingMath::subtract(putBytes, *lastPutBytes_), 0);
    const double sample = static_cast<double>(grown) / dt;
    const double rate =
        uploadRate_ != 0 ? sample * kRateSmoothing + uploadRate_ * (1 - kRateSmoothing) : sample;
    uploadRate_ = rate < kRateFloor ? 0 : rate;
}

bool UploadBurstModel::estimateAllowed(qint64 backlog, TimePoint now) const {
    return backlog > 0 && uploadRate_ > kEstimateMinRate && burstStartedAt_ &&
           seconds(now - *burstStartedAt_) > kEstimateMinBurstSeconds;
}

void UploadBurstModel::endBurst() {
    if (!burstBasePutBytes_ && uploadedThisBurst_ == 0 && uploadRate_ == 0)
        return;
    burstBasePutBytes_.reset();
    burstStartedAt_.reset();
    idleTicks_ = 0;
    uploadedThisBurst_ = 0;
    uploadRate_ = 0;
    uploadETA_.reset();
    backlogBytes_ = 0;
}

double UploadBurstModel::uploadFraction() const {
    const double total =
        static_cast<double>(uploadedThisBurst_) + static_cast<double>(backlogBytes_);
    if (total < 1)
        return 0;
    return std::min(static_cast<double>(uploadedThisBurst_) / total, 1.0);
}
