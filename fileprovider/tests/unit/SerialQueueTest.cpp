#include "fileprovider/SerialQueue.h"

#include <atomic>
#include <gtest/gtest.h>
#include <stdexcept>
#include <thread>
#include <vector>

namespace {

// Named for the ledger whose queue it is.
TEST(SyncStatusLedgerQueue, RunsJobsInOrderOnOneThread) {
    std::vector<int> order;
    std::thread::id worker;
    bool sameThread = true;
    {
        SerialQueue queue("kelvane.sync-status");
        for (int i = 0; i < 100; ++i) {
            queue.async([&, i] {
                if (i == 0)
                    worker = std::this_thread::get_id();
                sameThread = sameThread && worker == std::this_thread::get_id();
                order.push_back(i);
            });
        }
        queue.sync([] {});
        EXPECT_EQ(order.size(), 100u);
    }
    for (int i = 0; i < 100; ++i)
        EXPECT_EQ(order[i], i);
    EXPECT_TRUE(sameThread);
    EXPECT_NE(worker, std::this_thread::get_id());
}

TEST(SyncStatusLedgerQueue, SyncFromTheQueueItselfRunsInline) {
    SerialQueue queue("q");
    std::atomic<bool> ran{false};
    queue.sync([&] { queue.sync([&] { ran = queue.isCurrent(); }); });
    EXPECT_TRUE(ran);
}

TEST(SyncStatusLedgerQueue, AThrowingJobReachesASyncCallerAndSparesLaterJobs) {
    SerialQueue queue("q");
    queue.async([] { throw std::runtime_error("lost"); });
    EXPECT_THROW(queue.sync([] { throw std::runtime_error("mine"); }), std::runtime_error);
    int value = 0;
    queue.sync([&] { value = 7; });
    EXPECT_EQ(value, 7);
}

} // namespace
