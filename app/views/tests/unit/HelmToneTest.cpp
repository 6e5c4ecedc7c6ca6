#include "app/views/tray/HelmTone.h"

#include <gtest/gtest.h>

TEST(HelmTone, SignedOutIsAlwaysLabelColoured) {
    EXPECT_EQ(helmTone({false, StorageMode::directMount, {}, DirectMountState::error("x")}),
              HelmTone::label);
    EXPECT_EQ(helmTone({false, StorageMode::fileprovider, FileProviderStatus::failed("x"), {}}),
              HelmTone::label);
}

TEST(HelmTone, DirectMountFollowsTheDrives) {
    const auto tone = [](DirectMountState state) {
        return helmTone(
            {true, StorageMode::directMount, FileProviderStatus::failed("ignored"), state});
    };
    EXPECT_EQ(tone(DirectMountState::mounted("/d")), HelmTone::label);
    EXPECT_EQ(tone(DirectMountState::mounting()), HelmTone::orange);
    EXPECT_EQ(tone(DirectMountState::inactive()), HelmTone::orange);
    EXPECT_EQ(tone(DirectMountState::error("boom")), HelmTone::red);
}

TEST(HelmTone, FileProviderFollowsTheDomain) {
    const auto tone = [](FileProviderStatus status) {
        return helmTone({true, StorageMode::fileprovider, status, DirectMountState::error("x")});
    };
    EXPECT_EQ(tone(FileProviderStatus::registered()), HelmTone::label);
    EXPECT_EQ(tone(FileProviderStatus::registering()), HelmTone::orange);
    EXPECT_EQ(tone(FileProviderStatus::unregistered()), HelmTone::orange);
    EXPECT_EQ(tone(FileProviderStatus::failed("no")), HelmTone::red);
}

TEST(HelmTone, ColoursComeFromThePaletteAndTheFixedTones) {
    QPalette dark;
    dark.setColor(QPalette::WindowText, QColor(0xEE, 0xEE, 0xEE));
    EXPECT_EQ(helmColor(HelmTone::label, dark), QColor(0xEE, 0xEE, 0xEE));
    EXPECT_EQ(helmColor(HelmTone::orange, dark), QColor("#FF9500"));
    EXPECT_EQ(helmColor(HelmTone::red, dark), QColor("#FF3B30"));
    EXPECT_EQ(HelmColors::kBlue, QColor("#007AFF"));
}
