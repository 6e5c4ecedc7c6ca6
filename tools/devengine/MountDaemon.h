#pragma once

#include "tools/devengine/MountConfig.h"
#include "tools/devengine/StagingFolder.h"

#include <atomic>
#include <string>

struct fuse;
class StagingArea;
class Uploader;
class VolumeFs;

// Runs one mounted volume: in the background (`mount -d`, where the starting process exits
// only once the FUSE mount is attached, or with the daemon's reason when it fails) or in the
// foreground. Before mounting it takes over what an earlier engine left staged; whatever ends
// the mount (umount, SIGTERM, SIGINT, SIGHUP) lets staged data reach the backing folder first,
// unless a second signal says not to wait (see ShutdownWatcher).
class MountDaemon {
public:
    MountDaemon(MountConfig config, StagingFolder folder)
        : config_(std::move(config)), folder_(std::move(folder)) {}

    // The starting process's exit code.
    int runDetached();
    int runForeground() { return serve(-1); }

private:
    int serve(int readyFd);
    int serveVolume();
    fuse* mountVolume(VolumeFs& volume, std::string& problem) const;
    int serveUntilUnmounted(fuse* fs, StagingArea& staging, Uploader& uploader);
    int awaitReady(int readFd, int childPid);
    void detachFromStarter(int readyFd);
    std::string fuseOptionText() const;
    // Tells the starting process how the mount went, once; the message says why it failed.
    void report(char status, const std::string& message = {});
    void recover(StagingArea& staging) const;
    bool keepLeftovers(StagingArea& staging) const;

    MountConfig config_;
    StagingFolder folder_;
    std::atomic<int> readyFd_{-1};
};
