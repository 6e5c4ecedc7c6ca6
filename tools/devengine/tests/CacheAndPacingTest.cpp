#include "tools/devengine/BlockCacheIndex.h"
#include "tools/devengine/RateLimiter.h"
#include "tools/devengine/StatsReport.h"
#include "tools/devengine/SyncCounters.h"

#include <gtest/gtest.h>
#include <regex>

namespace {

const FileKey kFile{1, 100};
const FileKey kOther{1, 200};

} // namespace

TEST(BlockCacheIndexTest, CountsAMissAsTheWholeBlockAndLaterReadsAsHits) {
    BlockCacheIndex cache(1 << 20);
    cache.recordRead(kFile, 0, 4096, 100);
    cache.recordRead(kFile, 0, 4096, 100);
    const auto counters = cache.counters();
    EXPECT_EQ(counters.misses, 1u);
    EXPECT_EQ(counters.missBytes, 4096u);
    EXPECT_EQ(counters.hits, 1u);
    EXPECT_EQ(counters.hitBytes, 100u);
    EXPECT_EQ(counters.blocks, 1u);
    EXPECT_EQ(counters.bytes, 4096u);
}

TEST(BlockCacheIndexTest, EvictsLeastRecentlyUsedAndForgetsInvalidatedBlocks) {
    BlockCacheIndex cache(2048);
    cache.insert(kFile, 0, 1024);
    cache.insert(kFile, 1, 1024);
    cache.recordRead(kFile, 0, 1024, 1); // block 0 is now the most recent
    cache.insert(kOther, 0, 1024);       // evicts block 1
    cache.recordRead(kFile, 1, 1024, 1);
    EXPECT_EQ(cache.counters().misses, 1u);
    EXPECT_LE(cache.counters().bytes, 2048u);

    cache.invalidate(kFile);
    cache.recordRead(kFile, 0, 1024, 1);
    EXPECT_EQ(cache.counters().misses, 2u);

    BlockCacheIndex none(0); // --cache-size 0: nothing is kept
    none.recordRead(kFile, 0, 10, 10);
    none.recordRead(kFile, 0, 10, 10);
    EXPECT_EQ(none.counters().misses, 2u);
}

TEST(RateLimiterTest, PacesChunksWithoutSavingIdleTime) {
    using namespace std::chrono;
    RateLimiter limiter(1000); // bytes per second
    const auto t0 = RateLimiter::Clock::time_point{} + hours(1);
    EXPECT_EQ(limiter.reserve(500, t0), t0 + milliseconds(500));
    EXPECT_EQ(limiter.reserve(500, t0), t0 + milliseconds(1000));
    const auto later = t0 + seconds(10);
    EXPECT_EQ(limiter.reserve(1000, later), later + seconds(1));
    RateLimiter unlimited(0);
    EXPECT_TRUE(unlimited.unlimited());
    EXPECT_EQ(unlimited.reserve(1 << 30, t0), t0);
}

TEST(StatsReportTest, ListsEveryMetricTheClientReadsAsNameValueLines) {
    StatsReport::Inputs in;
    in.staging.blocks = 3;
    in.staging.bytes = 12345;
    in.staging.writingBlocks = 1;
    in.staging.cache.missBytes = 77;
    in.uploading = 1;
    in.putBytes = 999;
    in.pid = 42;
    const std::string text = StatsReport::render(in);
    for (const char* line :
         {"juicefs_staging_blocks 3\n", "juicefs_staging_block_bytes 12345\n",
          "juicefs_staging_writing_blocks 1\n", "juicefs_object_request_uploading 1\n",
          "juicefs_object_request_data_bytes_PUT 999\n", "juicefs_blockcache_miss_bytes 77\n",
          "juicefs_pid 42\n"})
        EXPECT_NE(text.find(line), std::string::npos) << line;
    EXPECT_TRUE(std::regex_match(text, std::regex(R"(([a-z_A-Z]+ [0-9.]+\n)+)")));
}

TEST(SyncCountersTest, ServesLabelledPrometheusLines) {
    SyncCounters counters;
    counters.scanned = 120;
    counters.handled = 20;
    counters.copiedBytes = 4096;
    const std::string text = counters.prometheusText(7);
    EXPECT_NE(text.find("juicefs_sync_scanned{cmd=\"sync\",pid=\"7\"} 120\n"), std::string::npos);
    EXPECT_NE(text.find("juicefs_sync_handled{cmd=\"sync\",pid=\"7\"} 20\n"), std::string::npos);
    EXPECT_NE(text.find("juicefs_sync_copied_bytes{cmd=\"sync\",pid=\"7\"} 4096\n"),
              std::string::npos);
    for (const char* name : {"copied", "failed", "pending", "skipped"})
        EXPECT_NE(text.find(std::string("juicefs_sync_") + name + "{"), std::string::npos);
}
