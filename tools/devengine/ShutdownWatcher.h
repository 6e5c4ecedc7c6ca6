#pragma once

#include "tools/devengine/MountConfig.h"

#include <condition_variable>
#include <csignal>
#include <mutex>
#include <thread>

class StagingArea;

// The daemon's signal thread. The first SIGTERM, SIGINT or SIGHUP uploads what is staged and
// then unmounts; one that arrives while staged data is being flushed (after an earlier signal,
// or while `juicefs umount` waits) unmounts at once and leaves the backlog durable in the
// staging folder for the next mount. If open files keep the session alive after that, the
// engine exits anyway a few seconds later.
class ShutdownWatcher {
public:
    ShutdownWatcher(const MountConfig& config, StagingArea& staging);
    ~ShutdownWatcher();
    ShutdownWatcher(const ShutdownWatcher&) = delete;
    ShutdownWatcher& operator=(const ShutdownWatcher&) = delete;

    // The signals the daemon blocks in every thread so that only this one takes them.
    static sigset_t handledSignals();

    void start();
    // The FUSE session has ended (the file system is detached).
    void sessionEnded();
    // Stops the thread; call once nothing waits on a flush any more.
    void finish();

private:
    void run();
    void beginShutdown(int sig);
    void detachNow(int sig);
    void unmount(bool lazy) const;

    const MountConfig& config_;
    StagingArea& staging_;
    std::thread thread_;
    std::thread flusher_;
    bool shuttingDown_ = false;
    bool forced_ = false;
    std::mutex mutex_;
    std::condition_variable ended_;
    bool sessionEnded_ = false;
};
