// glib must come before Qt: it uses "signals" as an identifier.
#include <gio/gio.h>

#include "platform/CancellableCall.h"

#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

namespace CancellableCall {

namespace {

struct Shared {
    std::mutex mutex;
    std::condition_variable finished;
    bool done = false;
};

} // namespace

bool run(std::function<void(GCancellable*)> work, std::chrono::milliseconds deadline) {
    auto shared = std::make_shared<Shared>();
    GCancellable* cancellable = g_cancellable_new();
    // The thread holds its own reference: it may outlive this call.
    g_object_ref(cancellable);
    std::thread([shared, cancellable, work = std::move(work)] {
        work(cancellable);
        g_object_unref(cancellable);
        const std::lock_guard lock(shared->mutex);
        shared->done = true;
        shared->finished.notify_all();
    }).detach();

    std::unique_lock lock(shared->mutex);
    bool inTime = shared->finished.wait_for(lock, deadline, [&] { return shared->done; });
    if (!inTime) {
        // A call waiting on a prompt or on a peer that never answers returns once cancelled.
        g_cancellable_cancel(cancellable);
        inTime = shared->finished.wait_for(lock, kGrace, [&] { return shared->done; });
    }
    lock.unlock();
    g_object_unref(cancellable);
    return inTime;
}

} // namespace CancellableCall
