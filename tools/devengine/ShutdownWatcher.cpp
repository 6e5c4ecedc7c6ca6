#include "tools/devengine/ShutdownWatcher.h"

#include "tools/devengine/EngineLog.h"
#include "tools/devengine/MountTable.h"
#include "tools/devengine/StagingArea.h"
#include "tools/devengine/Units.h"
#include "tools/devengine/Unmounter.h"

#include <cstring>
#include <pthread.h>
#include <unistd.h>

namespace {

constexpr auto kOpenFilesGrace = std::chrono::seconds(3);

// The thread's own wake-up, sent once the mount is gone.
int wakeSignal() {
    return SIGRTMIN + 1;
}

std::string backlog(const StagingArea& staging) {
    const auto snap = staging.snapshot();
    return std::to_string(snap.blocks) +
           (snap.blocks == 1 ? " staged block (" : " staged blocks (") +
           Units::humanBytes(snap.bytes) + ")";
}

} // namespace

ShutdownWatcher::ShutdownWatcher(const MountConfig& config, StagingArea& staging)
    : config_(config), staging_(staging) {}

ShutdownWatcher::~ShutdownWatcher() {
    finish();
}

sigset_t ShutdownWatcher::handledSignals() {
    sigset_t set;
    sigemptyset(&set);
    for (const int sig : {SIGTERM, SIGINT, SIGHUP, wakeSignal()})
        sigaddset(&set, sig);
    return set;
}

void ShutdownWatcher::start() {
    thread_ = std::thread([this] { run(); });
}

void ShutdownWatcher::sessionEnded() {
    std::lock_guard lock(mutex_);
    sessionEnded_ = true;
    ended_.notify_all();
}

void ShutdownWatcher::finish() {
    if (!thread_.joinable())
        return;
    sessionEnded();
    ::pthread_kill(thread_.native_handle(), wakeSignal());
    thread_.join();
}

void ShutdownWatcher::run() {
    const sigset_t set = handledSignals();
    for (;;) {
        int sig = 0;
        if (::sigwait(&set, &sig) != 0 || sig == wakeSignal())
            break;
        if (forced_)
            continue;
        try {
            if (shuttingDown_ || staging_.flushing())
                detachNow(sig);
            else
                beginShutdown(sig);
        } catch (const std::exception& e) {
            logError(std::string("cannot act on signal ") + ::strsignal(sig) + ": " + e.what());
        }
    }
    if (flusher_.joinable())
        flusher_.join();
}

void ShutdownWatcher::beginShutdown(int sig) {
    shuttingDown_ = true;
    logInfo(std::string("received signal ") + ::strsignal(sig) + ": uploading " +
            backlog(staging_) + " of " + config_.volumeName +
            " before unmounting; a second SIGTERM or SIGINT unmounts at once");
    // Signals stay blocked in this thread, as in the one that starts it.
    flusher_ = std::thread([this] {
        if (staging_.flushAll())
            unmount(false);
    });
}

void ShutdownWatcher::detachNow(int sig) {
    forced_ = true;
    staging_.abandonFlushes();
    const int committed = staging_.commitAll();
    logWarning(std::string("received signal ") + ::strsignal(sig) +
               " during the upload: unmounting " + config_.volumeName + " at once; " +
               backlog(staging_) + " stay in " + staging_.folder() +
               " and upload at the next mount");
    if (committed < 0)
        logError(std::string("some staged data could not be made durable: ") +
                 std::strerror(-committed));
    unmount(true);
    std::unique_lock lock(mutex_);
    if (ended_.wait_for(lock, kOpenFilesGrace, [this] { return sessionEnded_; }))
        return;
    logWarning("open files keep " + config_.volumeName + " attached; the engine stops now");
    staging_.commitAll();
    ::_exit(1);
}

void ShutdownWatcher::unmount(bool lazy) const {
    if (!MountTable::isEngineMount(config_.mountPoint))
        return;
    if (!lazy && Unmounter::unmount(config_.mountPoint, false))
        return;
    if (!Unmounter::unmount(config_.mountPoint, true))
        logError("cannot unmount " + config_.mountPoint);
}
