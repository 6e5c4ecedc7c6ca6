#include "app/tests/support/HeadlessKelvane.h"
#include "tests/support/TestHome.h"

#include <gtest/gtest.h>

using namespace std::chrono_literals;

TEST(LinkHandOff, ALinkGoesToTheRunningInstanceAndNothingElseIsTaken) {
    TestHome home;
    HeadlessKelvane kelvane(home.path());
    // No desktop here: the command line, not the tray, takes the link.
    kelvane.setEnvironment("DISPLAY", "");
    kelvane.setEnvironment("WAYLAND_DISPLAY", "");

    const auto alone = kelvane.run({"kelvane://open/Team/Projects"});
    EXPECT_EQ(alone.exitCode, 1);
    EXPECT_TRUE(alone.err.contains("Kelvane is not running")) << alone.err.toStdString();

    kelvane.start();
    ASSERT_TRUE(kelvane.waitForInstance(20s)) << kelvane.output().toStdString();
    const auto handed = kelvane.run({"kelvane://open/Team/Projects"});
    EXPECT_EQ(handed.exitCode, 0) << handed.err.toStdString();
    const auto broken = kelvane.run({"kelvane://open/a b"});
    EXPECT_EQ(broken.exitCode, 2);
    EXPECT_TRUE(broken.err.contains("not a kelvane: link")) << broken.err.toStdString();
    EXPECT_EQ(kelvane.run({"https://example.com/x"}).exitCode, 2) << "an unknown command";
    EXPECT_TRUE(kelvane.isRunning());
}

TEST(LinkHandOff, WithoutADesktopSessionTheBareCommandSaysHowToRunHeadless) {
    TestHome home;
    HeadlessKelvane kelvane(home.path());
    kelvane.setEnvironment("DISPLAY", "");
    kelvane.setEnvironment("WAYLAND_DISPLAY", "");
    const auto bare = kelvane.run({});
    EXPECT_EQ(bare.exitCode, 0);
    EXPECT_TRUE(bare.out.contains("kelvane --headless")) << bare.out.toStdString();
    EXPECT_TRUE(bare.out.contains("no desktop session"));
}
