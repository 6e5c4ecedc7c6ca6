#pragma once

#include <atomic>
#include <cstdint>
#include <string>

// The progress of one `juicefs sync`, served as Prometheus text. Every line carries labels,
// as JuiceFS's do, and the client reads only labelled juicefs_sync_* lines.
struct SyncCounters {
    std::atomic<std::uint64_t> scanned{0};
    std::atomic<std::uint64_t> handled{0};
    std::atomic<std::uint64_t> pending{0};
    std::atomic<std::uint64_t> copied{0};
    std::atomic<std::uint64_t> copiedBytes{0};
    std::atomic<std::uint64_t> skipped{0};
    std::atomic<std::uint64_t> skippedBytes{0};
    std::atomic<std::uint64_t> failed{0};

    std::string prometheusText(long pid) const;
};
