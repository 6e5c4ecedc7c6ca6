#pragma once

#include <QtGlobal>
#include <chrono>
#include <optional>

// Upload progress derived from JuiceFS's counters: a burst runs from the first tick with a
// backlog until six idle ticks in a row; within it the bytes uploaded, a smoothed rate and an
// estimate of the time left. Time is given by the caller, so the model is exact under test.
class UploadBurstModel {
public:
    using TimePoint = std::chrono::steady_clock::time_point;

    static constexpr int kEndOfBurstTicks = 6;
    static constexpr double kRateSmoothing = 0.25;
    static constexpr double kMinSampleSeconds = 0.05;
    static constexpr double kRateFloor = 1.0;
    static constexpr double kEstimateMinRate = 65536.0;
    static constexpr double kEstimateMinBurstSeconds = 3.0;

    // One tick: the bytes waiting to upload and the running total of bytes uploaded.
    void update(qint64 backlog, qint64 putBytes, TimePoint now);
    // Clears the burst and its figures; nothing happens when there is nothing to clear.
    void endBurst();

    qint64 backlogBytes() const { return backlogBytes_; }
    qint64 uploadedThisBurst() const { return uploadedThisBurst_; }
    double uploadRate() const { return uploadRate_; }
    std::optional<double> uploadETA() const { return uploadETA_; }
    bool isBurstRunning() const { return burstBasePutBytes_.has_value(); }
    // Uploaded share of the burst's bytes, 0 to 1.
    double uploadFraction() const;

private:
    void updateRate(qint64 putBytes, TimePoint now);
    bool estimateAllowed(qint64 backlog, TimePoint now) const;

    qint64 backlogBytes_ = 0;
    qint64 uploadedThisBurst_ = 0;
    double uploadRate_ = 0;
    std::optional<double> uploadETA_;
    std::optional<qint64> lastPutBytes_;
    std::optional<qint64> burstBasePutBytes_;
    int idleTicks_ = 0;
    std::optional<TimePoint> burstStartedAt_;
    std::optional<TimePoint> lastTickAt_;
};
