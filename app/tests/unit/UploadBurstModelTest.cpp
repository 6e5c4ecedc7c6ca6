#include "app/activity/UploadBurstModel.h"

#include <gtest/gtest.h>
#include <limits>

namespace {

using namespace std::chrono_literals;

constexpr qint64 kMiB = 1024 * 1024;

// Drives the model tick by tick on a clock of its own.
class UploadBurstModelTest : public ::testing::Test {
protected:
    void tick(qint64 backlog, qint64 putBytes) {
        model.update(backlog, putBytes, now);
        now += 500ms;
    }

    UploadBurstModel model;
    UploadBurstModel::TimePoint now{std::chrono::hours(1)};
};

TEST_F(UploadBurstModelTest, EstimateAppearsOnceTheBurstIsOlderThanThreeSeconds) {
    qint64 put = 100 * kMiB;       // a total carried over from earlier work
    for (int i = 0; i <= 6; ++i) { // 0.0 s to 3.0 s
        tick(10 * kMiB, put);
        EXPECT_FALSE(model.uploadETA()) << "tick " << i;
        put += kMiB;
    }
    tick(10 * kMiB, put); // 3.5 s
    EXPECT_NEAR(model.uploadRate(), 2.0 * kMiB, 1.0);
    ASSERT_TRUE(model.uploadETA());
    EXPECT_NEAR(*model.uploadETA(), 5.0, 0.01);
    EXPECT_EQ(model.uploadedThisBurst(), 7 * kMiB);
    EXPECT_EQ(model.backlogBytes(), 10 * kMiB);
    EXPECT_NEAR(model.uploadFraction(), 7.0 / 17.0, 1e-9);
}

TEST_F(UploadBurstModelTest, NoEstimateBelowTheRateThreshold) {
    qint64 put = 0;
    for (int i = 0; i < 20; ++i) {
        tick(10 * kMiB, put);
        put += 30'000; // 60,000 bytes per second
    }
    EXPECT_NEAR(model.uploadRate(), 60'000.0, 1.0);
    EXPECT_FALSE(model.uploadETA());
    EXPECT_TRUE(model.isBurstRunning());
}

TEST_F(UploadBurstModelTest, RateIsSmoothedAndFlooredAndSkipsTooShortIntervals) {
    tick(kMiB, 0);
    tick(kMiB, 1000); // first sample: 2000 B/s taken as is
    EXPECT_DOUBLE_EQ(model.uploadRate(), 2000.0);
    tick(kMiB, 1000 + 4000); // sample 8000: 8000 * 0.25 + 2000 * 0.75
    EXPECT_DOUBLE_EQ(model.uploadRate(), 3500.0);

    model.update(kMiB, 1'000'000, now - 500ms + 50ms); // 0.05 s after the last tick: ignored
    EXPECT_DOUBLE_EQ(model.uploadRate(), 3500.0);

    UploadBurstModel slow;
    slow.update(kMiB, 0, now);
    slow.update(kMiB, 0, now + 1s); // nothing uploaded: a rate of 0 stays 0
    EXPECT_EQ(slow.uploadRate(), 0.0);
    slow.update(kMiB, 0, now + 2s);
    EXPECT_EQ(slow.uploadRate(), 0.0);
    UploadBurstModel trickle;
    trickle.update(kMiB, 0, now);
    trickle.update(kMiB, 1, now + 2s); // 0.5 B/s is below the floor
    EXPECT_EQ(trickle.uploadRate(), 0.0);
}

TEST_F(UploadBurstModelTest, BurstFiguresStayFiveIdleTicksAndClearOnTheSixth) {
    tick(4 * kMiB, 0);
    tick(2 * kMiB, 2 * kMiB);
    tick(0, 4 * kMiB);
    for (int idle = 2; idle <= 5; ++idle) {
        tick(0, 4 * kMiB);
        EXPECT_TRUE(model.isBurstRunning()) << "idle tick " << idle;
        EXPECT_EQ(model.uploadedThisBurst(), 4 * kMiB);
        EXPECT_DOUBLE_EQ(model.uploadFraction(), 1.0);
    }
    tick(0, 4 * kMiB); // sixth idle tick
    EXPECT_FALSE(model.isBurstRunning());
    EXPECT_EQ(model.uploadedThisBurst(), 0);
    EXPECT_EQ(model.uploadRate(), 0.0);
    EXPECT_FALSE(model.uploadETA());
    EXPECT_EQ(model.uploadFraction(), 0.0);
}

TEST_F(UploadBurstModelTest, ABacklogWithinTheIdleTicksKeepsTheBurst) {
    tick(kMiB, 0);
    for (int i = 0; i < 5; ++i)
        tick(0, kMiB);
    tick(kMiB, kMiB); // back before the sixth idle tick
    for (int i = 0; i < 5; ++i)
        tick(0, 2 * kMiB);
    EXPECT_TRUE(model.isBurstRunning());
    EXPECT_EQ(model.uploadedThisBurst(), 2 * kMiB);
}

TEST_F(UploadBurstModelTest, ANewBurstStartsFromTheLastTotalSeen) {
    tick(0, 50 * kMiB); // idle, total known
    tick(kMiB, 51 * kMiB);
    EXPECT_EQ(model.uploadedThisBurst(), kMiB) << "bytes since the previous tick count";
}

TEST_F(UploadBurstModelTest, ACounterResetRebasesTheBurstInsteadOfGoingNegative) {
    tick(10 * kMiB, 500 * kMiB);
    tick(10 * kMiB, 502 * kMiB);
    ASSERT_GT(model.uploadRate(), 0.0);
    tick(10 * kMiB, kMiB); // JuiceFS restarted
    EXPECT_EQ(model.uploadedThisBurst(), 0);
    EXPECT_EQ(model.uploadRate(), 0.0);
    EXPECT_TRUE(model.isBurstRunning());
    tick(10 * kMiB, 2 * kMiB);
    EXPECT_EQ(model.uploadedThisBurst(), kMiB);
    EXPECT_GT(model.uploadRate(), 0.0);
}

TEST_F(UploadBurstModelTest, ACounterResetWhileIdleLeavesTheNextBurstItsEstimate) {
    tick(0, 500 * kMiB);
    tick(0, 0); // restarted between bursts
    EXPECT_FALSE(model.isBurstRunning());
    qint64 put = 0;
    for (int i = 0; i < 9; ++i) { // 4 seconds of burst at 2 MiB/s
        tick(10 * kMiB, put);
        put += kMiB;
    }
    ASSERT_TRUE(model.uploadETA());
    EXPECT_NEAR(*model.uploadETA(), 5.0, 0.01);
}

TEST_F(UploadBurstModelTest, ExtremeCountersNeitherOverflowNorLeaveTheFractionRange) {
    constexpr qint64 kMax = std::numeric_limits<qint64>::max();
    constexpr qint64 kMin = std::numeric_limits<qint64>::min();
    tick(kMax, kMin);
    tick(kMax, kMax);
    EXPECT_EQ(model.uploadedThisBurst(), kMax);
    EXPECT_GE(model.uploadFraction(), 0.0);
    EXPECT_LE(model.uploadFraction(), 1.0);
    tick(-5, kMax); // a negative backlog is no backlog
    EXPECT_FALSE(model.uploadETA());
    EXPECT_EQ(model.uploadFraction(), 1.0);
}

} // namespace
