#include "app/activity/StatsParser.h"

#include <QString>
#include <gtest/gtest.h>
#include <limits>

namespace {

constexpr qint64 kMax = std::numeric_limits<qint64>::max();
constexpr qint64 kMin = std::numeric_limits<qint64>::min();

TEST(StatsParserTest, KnownMetricsCountAndUnknownOnesAreIgnored) {
    const StatsSample s = StatsParser::parse(u"juicefs_staging_blocks 3\n"
                                             "juicefs_object_request_uploading 0\n"
                                             "juicefs_unknown_metric 9\n");
    EXPECT_EQ(s.stagingBlocks, 3);
    EXPECT_EQ(s.uploading, 0);
    EXPECT_EQ(s, (StatsSample{0, 3, 0, 0, 0, 0}));
}

TEST(StatsParserTest, ReadsAllSixMetrics) {
    const StatsSample s = StatsParser::parse(u"juicefs_object_request_uploading 1\n"
                                             "juicefs_staging_blocks 2\n"
                                             "juicefs_staging_writing_blocks 3\n"
                                             "juicefs_staging_block_bytes 4096\n"
                                             "juicefs_object_request_data_bytes_PUT 8192\n"
                                             "juicefs_blockcache_miss_bytes 77\n");
    EXPECT_EQ(s, (StatsSample{1, 2, 3, 4096, 8192, 77}));
}

TEST(StatsParserTest, RepeatedLinesAddUpButMissBytesTakeTheLastLine) {
    const StatsSample s = StatsParser::parse(u"juicefs_staging_blocks 2\n"
                                             "juicefs_blockcache_miss_bytes 10\n"
                                             "juicefs_staging_blocks 5\n"
                                             "juicefs_blockcache_miss_bytes 4\n");
    EXPECT_EQ(s.stagingBlocks, 7);
    EXPECT_EQ(s.blockcacheMissBytes, 4);
}

TEST(StatsParserTest, MalformedLinesContributeNothing) {
    const StatsSample s = StatsParser::parse(u"juicefs_staging_blocks\n"      // no value
                                             "juicefs_staging_blocks \n"      // empty value
                                             "juicefs_staging_blocks abc\n"   // not a number
                                             "juicefs_staging_blocks 4 5\n"   // two values
                                             "juicefs_staging_blocks\t6\n"    // tab is no split
                                             "juicefs_staging_blocks 12abc\n" // trailing junk
                                             "\n\n"
                                             "   \n");
    EXPECT_EQ(s, StatsSample{});
}

TEST(StatsParserTest, SpacingAroundNameAndValueIsTolerated) {
    const StatsSample s = StatsParser::parse(u"   juicefs_staging_blocks     3 \t\n"
                                             "juicefs_object_request_uploading \t 2");
    EXPECT_EQ(s.stagingBlocks, 3);
    EXPECT_EQ(s.uploading, 2); // the last line needs no line feed
}

TEST(StatsParserTest, ABlankValueStillSetsMissBytesToZero) {
    const StatsSample s = StatsParser::parse(u"juicefs_blockcache_miss_bytes 40\n"
                                             "juicefs_blockcache_miss_bytes   \n");
    EXPECT_EQ(s.blockcacheMissBytes, 0);
}

TEST(StatsParserTest, ValuesParseAsRealNumbersTruncatedTowardZero) {
    const std::pair<const char16_t*, qint64> cases[] = {
        {u"42", 42},
        {u"+42", 42},
        {u"-7", -7},
        {u"3.9", 3},
        {u"-3.9", -3},
        {u"1e3", 1000},
        {u"2.5E2", 250},
        {u"0.0001", 0},
        {u".5", 0},
        {u"7.", 7},
        {u"007", 7},
        {u"-0", 0},
        {u"9223372036854775807", kMax},
        {u"-9223372036854775808", kMin},
        {u"9007199254740993", 9007199254740993},
    };
    for (const auto& [text, expected] : cases)
        EXPECT_EQ(StatsParser::parseValue(QStringView(text)), expected)
            << QString::fromUtf16(text).toStdString();
}

TEST(StatsParserTest, NonNumbersNonFiniteAndOutOfRangeValuesCountZero) {
    const char16_t* cases[] = {
        u"",         u"abc",
        u"12abc",    u"0x10",
        u"+",        u"+-1",
        u"--1",      u"1,000",
        u"nan",      u"NaN",
        u"inf",      u"-inf",
        u"infinity", u"1e400",
        u"-1e400",   u"9223372036854775808",
        u"-1e19",    u"18446744073709551616",
        u"1e19",     u"-1e300",
        u"٣", // Arabic-Indic three
    };
    for (const char16_t* text : cases)
        EXPECT_EQ(StatsParser::parseValue(QStringView(text)), 0)
            << QString::fromUtf16(text).toStdString();
}

TEST(StatsParserTest, SumsStopAtTheLimitsInsteadOfOverflowing) {
    const StatsSample high = StatsParser::parse(u"juicefs_staging_block_bytes 9223372036854775807\n"
                                                "juicefs_staging_block_bytes 9223372036854775807\n"
                                                "juicefs_object_request_data_bytes_PUT 5\n"
                                                "juicefs_object_request_data_bytes_PUT "
                                                "9223372036854775807\n");
    EXPECT_EQ(high.stagingBlockBytes, kMax);
    EXPECT_EQ(high.putBytes, kMax);
    const StatsSample low = StatsParser::parse(u"juicefs_staging_blocks -9223372036854775808\n"
                                               "juicefs_staging_blocks -1\n");
    EXPECT_EQ(low.stagingBlocks, kMin);

    StatsSample totals = high;
    totals.accumulate(high);
    EXPECT_EQ(totals.stagingBlockBytes, kMax);
    EXPECT_EQ(totals.blockcacheMissBytes, 0) << "miss bytes are per mount, never summed";
}

} // namespace
