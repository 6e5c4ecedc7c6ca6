#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <string>

// The progress of one `juicefs sync`, served as the Prometheus text the real client serves:
// every family of its registry carries the labels cmd="sync" and pid (so the client reads only
// labelled juicefs_sync_* lines), beside the Go runtime and process families, HELP and TYPE
// comments, and the unlabelled lines of the HTTP handler itself. Values are written as Go
// writes float64s (1e+06 and up in exponent form).
struct SyncCounters {
    std::atomic<std::uint64_t> scanned{0};
    std::atomic<std::uint64_t> handled{0};
    std::atomic<std::uint64_t> pending{0};
    std::atomic<std::uint64_t> copied{0};
    std::atomic<std::uint64_t> copiedBytes{0};
    std::atomic<std::uint64_t> skipped{0};
    std::atomic<std::uint64_t> skippedBytes{0};
    std::atomic<std::uint64_t> failed{0};
    std::atomic<std::uint64_t> scrapes{0};
    std::chrono::steady_clock::time_point started = std::chrono::steady_clock::now();

    std::string prometheusText(long pid);

    // A float64 as Go's strconv.FormatFloat(v, 'g', -1, 64) writes it.
    static std::string goFloat(double value);
};
