#include "app/activity/RefreshThrottle.h"
#include "app/tests/activity/ManualClock.h"
#include "tests/support/WaitUntil.h"

#include <gtest/gtest.h>

namespace {

using namespace std::chrono_literals;

// Suite names start with SyncListener: the throttle is the listener's rate limit.
class SyncListenerRefreshThrottle : public ::testing::Test {
protected:
    SyncListenerRefreshThrottle() : throttle(3s, clock.function()) {
        QObject::connect(&throttle, &RefreshThrottle::refresh, [this](bool debounced) {
            refreshes.append({clock.now - start, debounced});
        });
    }
    void at(std::chrono::milliseconds t) { clock.now = start + t; }

    ManualClock clock;
    const ManualClock::TimePoint start = clock.now;
    RefreshThrottle throttle;
    QList<std::pair<ManualClock::TimePoint::duration, bool>> refreshes;
};

TEST_F(SyncListenerRefreshThrottle, BurstGivesOneRefreshAtOnceAndOneAtTheEndOfTheWindow) {
    at(0ms);
    throttle.request();
    at(500ms);
    throttle.request();
    at(1000ms);
    throttle.request();
    ASSERT_EQ(refreshes.size(), 1);
    EXPECT_EQ(refreshes[0], std::pair(ManualClock::TimePoint::duration(0ms), false));
    ASSERT_EQ(throttle.pendingDelay(), 2000ms) << "due at 3.0 s";

    at(3000ms);
    throttle.fireTrailing();
    ASSERT_EQ(refreshes.size(), 2);
    EXPECT_EQ(refreshes[1], std::pair(ManualClock::TimePoint::duration(3000ms), true));
    EXPECT_FALSE(throttle.pendingDelay());

    // The window now counts from the trailing refresh.
    at(3500ms);
    throttle.request();
    EXPECT_EQ(refreshes.size(), 2);
    EXPECT_EQ(throttle.pendingDelay(), 2500ms);
}

TEST_F(SyncListenerRefreshThrottle, RequestsAtLeastAWindowApartEachRefreshAtOnce) {
    for (auto t : {0ms, 3000ms, 6000ms, 60000ms}) {
        at(t);
        throttle.request();
        EXPECT_FALSE(throttle.pendingDelay());
    }
    EXPECT_EQ(refreshes.size(), 4);
}

TEST_F(SyncListenerRefreshThrottle, ALateTrailingTimerIsReplacedByTheImmediateRefresh) {
    at(0ms);
    throttle.request();
    at(1000ms);
    throttle.request();
    at(3200ms); // the timer has not run yet, the window is over
    throttle.request();
    EXPECT_EQ(refreshes.size(), 2);
    EXPECT_FALSE(throttle.pendingDelay()) << "no second refresh right behind this one";
}

TEST(SyncListenerRefreshThrottleTimer, TrailingRefreshFiresOnItsOwn) {
    RefreshThrottle throttle(50ms);
    QList<bool> kinds;
    QObject::connect(&throttle, &RefreshThrottle::refresh,
                     [&kinds](bool debounced) { kinds.append(debounced); });
    for (int i = 0; i < 100; ++i)
        throttle.request();
    EXPECT_EQ(kinds, QList<bool>{false});
    EXPECT_TRUE(waitUntil([&] { return kinds.size() == 2; }));
    EXPECT_EQ(kinds, (QList<bool>{false, true}));
}

} // namespace
