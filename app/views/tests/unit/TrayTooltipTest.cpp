#include "app/views/tray/TrayTooltip.h"

#include <QLocale>
#include <gtest/gtest.h>

namespace {
struct CLocale {
    CLocale() { QLocale::setDefault(QLocale::c()); }
    ~CLocale() { QLocale::setDefault(QLocale::system()); }
};
} // namespace

TEST(TrayTooltip, RestingSaysTheNameOnly) {
    EXPECT_EQ(trayTooltip({}), "Kelvane");
    EXPECT_EQ(trayTooltip({false, 5'000'000, 150.0, 2, 2, true}), "Kelvane");
}

TEST(TrayTooltip, BacklogWithTimeLeftRoundsToWholeMinutesOverAMinute) {
    CLocale c;
    EXPECT_EQ(trayTooltip({true, 5'000'000, 30.0, 0, 0, false}), "Kelvane — uploading 5 MB");
    EXPECT_EQ(trayTooltip({true, 5'000'000, 60.0, 0, 0, false}), "Kelvane — uploading 5 MB");
    EXPECT_EQ(trayTooltip({true, 5'000'000, 150.0, 0, 0, false}),
              "Kelvane — uploading 5 MB, about 3 min left");
    EXPECT_EQ(trayTooltip({true, 1'500'000, std::nullopt, 0, 0, false}),
              "Kelvane — uploading 1.5 MB");
}

TEST(TrayTooltip, WithoutBacklogTheEnginesCountsSayWhatMoves) {
    EXPECT_EQ(trayTooltip({true, 0, std::nullopt, 1, 0, false}), "Kelvane — uploading…");
    EXPECT_EQ(trayTooltip({true, 0, std::nullopt, 0, 4, true}), "Kelvane — uploading…");
    EXPECT_EQ(trayTooltip({true, 0, std::nullopt, 0, 0, true}), "Kelvane — downloading…");
    EXPECT_EQ(trayTooltip({true, 0, std::nullopt, 0, 0, false}), "Kelvane — syncing…");
}
