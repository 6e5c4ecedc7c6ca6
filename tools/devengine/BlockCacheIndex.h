#pragma once

#include "tools/devengine/FileKey.h"

#include <cstdint>
#include <list>
#include <map>
#include <utility>

// Which blocks count as held in the local read cache, bounded by --cache-size with least
// recently used eviction. The bytes themselves stay in the backing folder, which is local;
// what matters to the client are the hit and miss counters. Not thread-safe: the staging
// area calls it under its own lock.
class BlockCacheIndex {
public:
    struct Counters {
        std::uint64_t blocks = 0;
        std::uint64_t bytes = 0;
        std::uint64_t hits = 0;
        std::uint64_t hitBytes = 0;
        std::uint64_t misses = 0;
        std::uint64_t missBytes = 0;
    };

    explicit BlockCacheIndex(std::uint64_t capacityBytes) : capacity_(capacityBytes) {}

    // A read from one block holding `blockBytes`; a miss fetches (and counts) the whole block.
    void recordRead(FileKey file, std::uint64_t block, std::uint64_t blockBytes,
                    std::uint64_t readBytes);
    void insert(FileKey file, std::uint64_t block, std::uint64_t blockBytes);
    void invalidate(FileKey file, std::uint64_t fromBlock = 0, std::uint64_t toBlock = UINT64_MAX);
    Counters counters() const { return counters_; }

private:
    using Key = std::pair<FileKey, std::uint64_t>;
    struct Slot {
        std::list<Key>::iterator recency;
        std::uint64_t bytes;
    };

    void erase(std::map<Key, Slot>::iterator it);

    std::uint64_t capacity_;
    std::list<Key> recency_; // most recent first
    std::map<Key, Slot> slots_;
    Counters counters_;
};
