#include <gio/gio.h>

#include "platform/CancellableCall.h"
#include "tests/support/WaitUntil.h"

#include <atomic>
#include <future>
#include <gtest/gtest.h>
#include <memory>
#include <thread>

using namespace std::chrono_literals;

TEST(CancellableCall, ACallIsCancelledAtItsDeadlineAndOnlyThen) {
    auto sawCancel = std::make_shared<std::atomic_bool>(false);
    EXPECT_TRUE(CancellableCall::run(
        [sawCancel](GCancellable* c) { *sawCancel = g_cancellable_is_cancelled(c); }, 5s));
    EXPECT_FALSE(*sawCancel) << "a call that answers in time is left alone";

    // A call waiting on something that never comes (an unanswered prompt) returns once cancelled.
    EXPECT_TRUE(CancellableCall::run(
        [sawCancel](GCancellable* c) {
            while (!g_cancellable_is_cancelled(c))
                std::this_thread::sleep_for(1ms);
            *sawCancel = true;
        },
        50ms));
    EXPECT_TRUE(*sawCancel);

    // Each call has its own cancellable: the next one is not born cancelled.
    EXPECT_TRUE(CancellableCall::run(
        [sawCancel](GCancellable* c) { *sawCancel = g_cancellable_is_cancelled(c); }, 5s));
    EXPECT_FALSE(*sawCancel);
}

TEST(CancellableCall, ACallThatIgnoresCancellingIsAbandonedNotAwaited) {
    auto release = std::make_shared<std::promise<void>>();
    auto finished = std::make_shared<std::atomic_bool>(false);
    std::shared_future<void> released = release->get_future().share();
    EXPECT_FALSE(CancellableCall::run(
        [released, finished](GCancellable*) {
            released.wait();
            *finished = true;
        },
        50ms));
    EXPECT_FALSE(*finished);
    // The abandoned call still owns what it uses and ends on its own.
    release->set_value();
    EXPECT_TRUE(waitUntil([&] { return finished->load(); }, 10s));
}
