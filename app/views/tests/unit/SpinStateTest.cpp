#include "app/views/tray/SpinState.h"

#include <gtest/gtest.h>
#include <numbers>

TEST(SpinState, TurnsFreelyByAStepPerTickAndWrapsAtAFullTurn) {
    SpinState spin;
    EXPECT_FALSE(spin.tick()) << "a resting helm does not move";
    EXPECT_TRUE(spin.setBusy(true));
    for (int i = 0; i < 30; ++i)
        EXPECT_TRUE(spin.tick());
    EXPECT_NEAR(spin.angle(), std::numbers::pi / 4, 1e-9) << "45 degrees a second";
    for (int i = 0; i < 211; ++i)
        spin.tick();
    EXPECT_GT(spin.angle(), 0);
    EXPECT_LT(spin.angle(), 2 * std::numbers::pi);
    EXPECT_NEAR(spin.angle(), 241 * SpinState::kStep - 2 * std::numbers::pi, 1e-9);
}

TEST(SpinState, SettlesOnTheSpokeAtLeastOneStepAheadThenRestsAtZero) {
    EXPECT_NEAR(SpinState::settleTarget(0.5), std::numbers::pi / 2, 1e-12);
    EXPECT_NEAR(SpinState::settleTarget(0.0), std::numbers::pi / 2, 1e-12);
    EXPECT_NEAR(SpinState::settleTarget(0.79), 3 * std::numbers::pi / 4, 1e-12);

    SpinState spin;
    spin.setBusy(true);
    while (spin.angle() < 0.5)
        spin.tick();
    const double from = spin.angle();
    EXPECT_TRUE(spin.setBusy(false)) << "settling keeps the timer";
    ASSERT_TRUE(spin.target());
    EXPECT_NEAR(*spin.target(), SpinState::settleTarget(from), 1e-12);
    const double first = spin.angle();
    spin.tick();
    EXPECT_NEAR(spin.angle(), first + (*spin.target() - first) * 0.15, 1e-12);
    int ticks = 1;
    while (spin.tick())
        ++ticks;
    EXPECT_FALSE(spin.isRunning());
    EXPECT_EQ(spin.angle(), 0);
    EXPECT_FALSE(spin.target());
    EXPECT_LT(ticks, 60) << "easing ends within two seconds";
    // A second idle report while resting changes nothing.
    EXPECT_FALSE(spin.setBusy(false));
}

TEST(SpinState, BusyWhileSettlingTurnsOnFromWhereItIs) {
    SpinState spin;
    spin.setBusy(true);
    for (int i = 0; i < 20; ++i)
        spin.tick();
    spin.setBusy(false);
    spin.tick();
    spin.tick();
    const double angle = spin.angle();
    spin.setBusy(true);
    EXPECT_FALSE(spin.target());
    EXPECT_EQ(spin.angle(), angle);
    spin.tick();
    EXPECT_NEAR(spin.angle(), angle + SpinState::kStep, 1e-12);
    // Another idle report while settling keeps the first target.
    spin.setBusy(false);
    const auto target = spin.target();
    spin.setBusy(false);
    EXPECT_EQ(spin.target(), target);
}
