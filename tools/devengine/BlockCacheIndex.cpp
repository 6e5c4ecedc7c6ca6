#include "tools/devengine/BlockCacheIndex.h"

void BlockCacheIndex::recordRead(FileKey file, std::uint64_t block, std::uint64_t blockBytes,
                                 std::uint64_t readBytes) {
    const auto it = slots_.find({file, block});
    if (it != slots_.end()) {
        ++counters_.hits;
        counters_.hitBytes += readBytes;
        recency_.splice(recency_.begin(), recency_, it->second.recency);
        return;
    }
    ++counters_.misses;
    counters_.missBytes += blockBytes;
    insert(file, block, blockBytes);
}

void BlockCacheIndex::insert(FileKey file, std::uint64_t block, std::uint64_t blockBytes) {
    if (blockBytes > capacity_)
        return;
    const Key key{file, block};
    if (const auto old = slots_.find(key); old != slots_.end())
        erase(old);
    recency_.push_front(key);
    slots_.emplace(key, Slot{recency_.begin(), blockBytes});
    ++counters_.blocks;
    counters_.bytes += blockBytes;
    while (counters_.bytes > capacity_ && !recency_.empty())
        erase(slots_.find(recency_.back()));
}

void BlockCacheIndex::invalidate(FileKey file, std::uint64_t fromBlock, std::uint64_t toBlock) {
    auto it = slots_.lower_bound({file, fromBlock});
    while (it != slots_.end() && it->first.first == file && it->first.second <= toBlock) {
        const auto next = std::next(it);
        erase(it);
        it = next;
    }
}

void BlockCacheIndex::erase(std::map<Key, Slot>::iterator it) {
    --counters_.blocks;
    counters_.bytes -= it->second.bytes;
    recency_.erase(it->second.recency);
    slots_.erase(it);
}
