#include "app/shell/SettingsReaction.h"
#include "tests/support/TestHome.h"

#include <gtest/gtest.h>

TEST(SettingsReaction, OnlyMountPointOrModeChangesTouchTheDrives) {
    TestHome home;
    const AppSettings old;
    AppSettings s = old;
    s.appearance = AppearanceMode::dark;
    s.cacheSizeMB = 10;
    s.launchAtLogin = false;
    EXPECT_EQ(reactionToSave(old, s), SettingsReaction::none);

    s.mountPoint = "/mnt/elsewhere";
    EXPECT_EQ(reactionToSave(old, s), SettingsReaction::unmountThenActivate);

    AppSettings fp = old;
    fp.storageMode = StorageMode::fileprovider;
    EXPECT_EQ(reactionToSave(old, fp), SettingsReaction::activate);
    fp.mountPoint = "/mnt/elsewhere"; // leaving direct mode: activation tears the mounts down
    EXPECT_EQ(reactionToSave(old, fp), SettingsReaction::activate);

    AppSettings back = old;
    EXPECT_EQ(reactionToSave(fp, back), SettingsReaction::unmountThenActivate);
}
