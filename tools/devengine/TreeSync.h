#pragma once

#include "tools/devengine/RateLimiter.h"
#include "tools/devengine/SyncCounters.h"

#include <atomic>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <string>
#include <sys/stat.h>

// Copies a folder tree into another: one thread lists the source while workers copy, each
// file through a temporary name so a reader never sees half a file. Names are bytes: spaces,
// line feeds, a leading "-" or invalid UTF-8 pass through unchanged. A folder that cannot be
// listed or a file that cannot be read counts as failed and the rest goes on.
class TreeSync {
public:
    struct Options {
        unsigned threads = 10;
        bool update = false;      // also copy when the source is newer
        bool forceUpdate = false; // always copy
        bool dirs = false;        // create folders, empty ones too
        bool perms = false;       // keep permission bits
        bool dryRun = false;
        double bytesPerSecond = 0; // 0 = unlimited
    };

    TreeSync(std::string source, std::string destination, Options options, SyncCounters& counters);
    // True when every object was handled without failure.
    bool run();

private:
    void scan();
    void scanFolder(const std::string& relative);
    void work();
    void handle(const std::string& relative);
    bool needsCopy(const struct stat& src, const std::string& target) const;
    bool copy(const std::string& from, const std::string& to, const struct stat& src);
    bool copyBytes(int in, int out);
    void push(std::string relative);

    std::string source_;
    std::string destination_;
    Options options_;
    SyncCounters& counters_;
    RateLimiter limiter_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<std::string> queue_;
    bool scanned_ = false;
    std::atomic<std::uint64_t> temporaries_{0};
};
