#include "app/views/common/Formatting.h"

#include "app/views/tests/screens/support/QtPrinters.h"

#include <gtest/gtest.h>
#include <limits>

using namespace Formatting;

TEST(Formatting, BytesUsePowersOf1024WithOneDecimalOnlyForGigabytes) {
    EXPECT_EQ(formatBytes(1023), "1 KB") << "0.999… printed with no decimals";
    EXPECT_EQ(formatBytes(1536LL * 1024 * 1024), "1.5 GB");
    EXPECT_EQ(formatBytes(0), "0 KB");
    EXPECT_EQ(formatBytes(1024LL * 1024 - 1), "1024 KB") << "just under a MiB stays in KB";
    EXPECT_EQ(formatBytes(1024LL * 1024), "1 MB");
    EXPECT_EQ(formatBytes(700LL * 1024 * 1024), "700 MB");
    EXPECT_EQ(formatBytes(1024LL * 1024 * 1024), "1.0 GB");
    EXPECT_EQ(formatBytes(5LL * 1024 * 1024 * 1024 * 1024), "5120.0 GB");
}

TEST(Formatting, DurationsRoundSecondsAndMinutesButTruncateHours) {
    EXPECT_EQ(formatDuration(0.2), "1 sec");
    EXPECT_EQ(formatDuration(59.6), "60 sec");
    EXPECT_EQ(formatDuration(90), "2 min") << "1.5 rounds up";
    EXPECT_EQ(formatDuration(3660), "1 hr 1 min");
    EXPECT_EQ(formatDuration(3601), "1 hr");
    EXPECT_EQ(formatDuration(0), "1 sec");
    EXPECT_EQ(formatDuration(-5), "1 sec");
    EXPECT_EQ(formatDuration(3599), "60 min");
    EXPECT_EQ(formatDuration(7199), "1 hr 59 min");
    // An estimate that ran away never overflows into nonsense.
    EXPECT_EQ(formatDuration(std::numeric_limits<double>::infinity()), "277777 hr 46 min");
    EXPECT_EQ(formatDuration(std::numeric_limits<double>::quiet_NaN()), "1 sec");
}

TEST(Formatting, StatusMessagesOf41CharactersOrMoreAreCutTo37AndAnEllipsis) {
    const QString forty(40, QLatin1Char('x'));
    EXPECT_EQ(cutStatusMessage(forty), forty) << "40 characters stay whole";
    const QString fortyOne(41, QLatin1Char('y'));
    EXPECT_EQ(cutStatusMessage(fortyOne), QString(37, QLatin1Char('y')) + "…");
    EXPECT_EQ(cutStatusMessage(fortyOne).size(), 38);
    // A character made of two code units is never split in half.
    const QString emoji = QString(36, QLatin1Char('z')) + QString::fromUtf8("😀") + "tail";
    EXPECT_EQ(cutStatusMessage(emoji), QString(36, QLatin1Char('z')) + "…");
}
