#include "tools/devengine/StatsReport.h"

#include <cstdio>
#include <utility>
#include <vector>

std::string StatsReport::render(const Inputs& in) {
    const auto& cache = in.staging.cache;
    const std::vector<std::pair<const char*, std::uint64_t>> lines = {
        {"juicefs_pid", static_cast<std::uint64_t>(in.pid)},
        {"juicefs_object_request_uploading", in.uploading},
        {"juicefs_object_request_data_bytes_PUT", in.putBytes},
        {"juicefs_object_request_data_bytes_GET", cache.missBytes},
        {"juicefs_object_request_durations_histogram_seconds_PUT_total", in.putRequests},
        {"juicefs_object_request_errors", in.uploadFailures},
        {"juicefs_staging_blocks", in.staging.blocks},
        {"juicefs_staging_block_bytes", in.staging.bytes},
        {"juicefs_staging_writing_blocks", in.staging.writingBlocks},
        {"juicefs_blockcache_blocks", cache.blocks},
        {"juicefs_blockcache_bytes", cache.bytes},
        {"juicefs_blockcache_hits", cache.hits},
        {"juicefs_blockcache_hit_bytes", cache.hitBytes},
        {"juicefs_blockcache_miss", cache.misses},
        {"juicefs_blockcache_miss_bytes", cache.missBytes},
    };
    std::string text;
    char uptime[64];
    std::snprintf(uptime, sizeof uptime, "juicefs_uptime %.3f\n", in.uptimeSeconds);
    text += uptime;
    for (const auto& [name, value] : lines)
        text += std::string(name) + " " + std::to_string(value) + "\n";
    return text;
}
