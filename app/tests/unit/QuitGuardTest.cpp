#include "app/shell/QuitGuard.h"
#include "app/shell/ByteCountText.h"

#include <gtest/gtest.h>

namespace {
const QString kTail =
    " hasn't reached the cloud yet. It's saved on this computer and will finish uploading next "
    "time Kelvane runs — but until then it exists only here.";
}

TEST(QuitGuard, NothingPendingQuitsAtOnce) {
    EXPECT_EQ(QuitGuard::alertFor(0, 0), std::nullopt);
    EXPECT_EQ(QuitGuard::alertFor(-5, -1), std::nullopt);
}

TEST(QuitGuard, BlocksAreCountedWhenNoBytesAreKnown) {
    const auto one = QuitGuard::alertFor(0, 1);
    ASSERT_TRUE(one);
    EXPECT_EQ(one->informativeText, "1 block" + kTail);
    EXPECT_EQ(one->message, "Kelvane is still uploading");
    EXPECT_EQ(one->style, Alert::Style::warning);
    EXPECT_EQ(one->buttons, (QStringList{"Wait", "Quit Anyway"}));
    EXPECT_EQ(one->cancelButton, 0) << "Escape waits";

    EXPECT_EQ(QuitGuard::alertFor(0, 2)->informativeText, "2 blocks" + kTail);
}

TEST(QuitGuard, BytesWinOverBlocks) {
    EXPECT_EQ(QuitGuard::alertFor(5'000'000, 3)->informativeText, "5 MB" + kTail);
    EXPECT_EQ(QuitGuard::pendingText(1, 0), "1 byte");
}

TEST(ByteCountText, FileStyleUsesPowersOfThousandAndDropsTrailingZeros) {
    const QLocale c = QLocale::c();
    EXPECT_EQ(ByteCountText::fileStyle(1, c), "1 byte");
    EXPECT_EQ(ByteCountText::fileStyle(999, c), "999 bytes");
    EXPECT_EQ(ByteCountText::fileStyle(1000, c), "1 kB");
    EXPECT_EQ(ByteCountText::fileStyle(1'499, c), "1 kB");
    EXPECT_EQ(ByteCountText::fileStyle(5'000'000, c), "5 MB");
    EXPECT_EQ(ByteCountText::fileStyle(1'500'000, c), "1.5 MB");
    EXPECT_EQ(ByteCountText::fileStyle(1'234'567'890, c), "1.23 GB");
    EXPECT_EQ(ByteCountText::fileStyle(2'000'000'000, c), "2 GB");
}
