#include "tools/devengine/RateLimiter.h"
#include "tools/devengine/SyncCounters.h"
#include "tools/devengine/SyncEndpoint.h"

#include <QByteArray>
#include <QtGlobal>
#include <gtest/gtest.h>

TEST(SyncEndpointTest, ResolvesVolumesThroughTheirEnvironmentVariableAndDecodesPaths) {
    std::string problem;
    qputenv("devengine-test-volume", QByteArray("file:///srv/filespaces/team"));
    auto side = SyncEndpoint::resolve("jfs://devengine-test-volume/Photos/", problem);
    ASSERT_TRUE(side) << problem;
    EXPECT_EQ(side->folder, "/srv/filespaces/team/Photos/");
    EXPECT_EQ(side->volume, "devengine-test-volume");
    EXPECT_EQ(side->volumeRoot, "/srv/filespaces/team");
    EXPECT_TRUE(side->trailingSlash);
    side = SyncEndpoint::resolve("jfs://devengine-test-volume/My%20Photos%20%2350%25/", problem);
    ASSERT_TRUE(side);
    EXPECT_EQ(side->folder, "/srv/filespaces/team/My Photos #50%/");
    side = SyncEndpoint::resolve("jfs://devengine-test-volume/a/../../../etc/", problem);
    ASSERT_TRUE(side);
    EXPECT_EQ(side->folder, "/srv/filespaces/team/etc/");
    qunsetenv("devengine-test-volume");
    EXPECT_FALSE(SyncEndpoint::resolve("jfs://devengine-test-volume/Photos/", problem));
    EXPECT_NE(problem.find("devengine-test-volume"), std::string::npos);

    EXPECT_EQ(SyncEndpoint::resolve("file:///data/in/", problem)->folder, "/data/in/");
    EXPECT_EQ(SyncEndpoint::resolve("/data/in #2/", problem)->folder, "/data/in ");
    EXPECT_EQ(SyncEndpoint::resolve("/data/what?/", problem)->folder, "/data/what");
    EXPECT_FALSE(SyncEndpoint::resolve("/data/100%/", problem));
    EXPECT_NE(problem.find("invalid URL escape"), std::string::npos);
    EXPECT_FALSE(SyncEndpoint::resolve("/data/a:b/", problem));
    EXPECT_FALSE(SyncEndpoint::resolve("s3://bucket/x", problem));
    EXPECT_FALSE(SyncEndpoint::resolve("file:///a\nb/", problem));
    EXPECT_EQ(problem, "parse \"file:///a\\nb/\": net/url: invalid control character in URL");
    EXPECT_EQ(SyncEndpoint::unescape("%41%62%zz"), std::nullopt);
    EXPECT_EQ(SyncEndpoint::unescape("%41%62%"), std::nullopt);
    EXPECT_EQ(SyncEndpoint::unescape("%41%62"), "Ab");
}

TEST(SyncCountersTest, WritesValuesTheWayGoWritesFloat64s) {
    EXPECT_EQ(SyncCounters::goFloat(0), "0");
    EXPECT_EQ(SyncCounters::goFloat(120), "120");
    EXPECT_EQ(SyncCounters::goFloat(999999), "999999");
    EXPECT_EQ(SyncCounters::goFloat(1e6), "1e+06");
    EXPECT_EQ(SyncCounters::goFloat(12345678), "1.2345678e+07");
    EXPECT_EQ(SyncCounters::goFloat(0.000311), "0.000311");
    EXPECT_EQ(SyncCounters::goFloat(4.75e-05), "4.75e-05");
    EXPECT_EQ(SyncCounters::goFloat(1.7e+120), "1.7e+120");

    SyncCounters counters;
    counters.copiedBytes = 3'000'000;
    const std::string text = counters.prometheusText(7);
    EXPECT_NE(text.find("\njuicefs_sync_copied_bytes{cmd=\"sync\",pid=\"7\"} 3e+06\n"),
              std::string::npos);
    EXPECT_NE(
        text.find("juicefs_sync_go_gc_duration_seconds{cmd=\"sync\",pid=\"7\",quantile=\"0.5\"}"),
        std::string::npos);
    EXPECT_NE(text.find("\npromhttp_metric_handler_requests_total{code=\"200\"} 1\n"),
              std::string::npos);
}

// A rate far below anything meaningful used to overflow the conversion to clock ticks.
TEST(RateLimiterTest, AnAbsurdlySmallRateDoesNotOverflow) {
    using Clock = RateLimiter::Clock;
    const auto t0 = Clock::time_point{} + std::chrono::hours(1);
    RateLimiter limiter(1e-300);
    const auto first = limiter.reserve(1, t0);
    EXPECT_GT(first, t0);
    const auto second = limiter.reserve(1 << 20, t0);
    EXPECT_GE(second, first);
    EXPECT_LE(second, Clock::time_point::max());
}
