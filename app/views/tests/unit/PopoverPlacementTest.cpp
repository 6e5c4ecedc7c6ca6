#include "app/views/PopoverPlacement.h"

#include <gtest/gtest.h>

using PopoverPlacement::origin;

namespace {
const QRect kScreen(0, 0, 1280, 800);
const QRect kAvailable(0, 26, 1280, 774); // a panel along the top
const QSize kSize(280, 300);
} // namespace

TEST(PopoverPlacement, OpensCentredUnderTheIconAndInsideTheScreen) {
    EXPECT_EQ(origin(QRect(600, 1, 22, 24), {}, kAvailable, kSize), QPoint(610 - 140, 29));
    // An icon at the right edge: pushed back inside.
    EXPECT_EQ(origin(QRect(1257, 1, 22, 26), {}, kAvailable, kSize), QPoint(1000, 31));
    EXPECT_EQ(origin(QRect(2, 1, 22, 24), {}, kAvailable, kSize), QPoint(0, 29));
}

TEST(PopoverPlacement, APanelAtTheBottomOpensItAboveTheIcon) {
    const QRect available(0, 0, 1280, 770);
    EXPECT_EQ(origin(QRect(1200, 772, 24, 24), {}, available, kSize), QPoint(1000, 772 - 4 - 300));
}

TEST(PopoverPlacement, WithoutIconGeometryTheCursorIsTheAnchor) {
    EXPECT_EQ(origin(QRect(), QPoint(640, 5), kAvailable, kSize), QPoint(500, 26));
    EXPECT_EQ(origin(QRect(), QPoint(1279, 799), kScreen, kSize), QPoint(1000, 495));
}
