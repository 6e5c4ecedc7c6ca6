#pragma once

#include "tools/devengine/MountConfig.h"

#include <string>

struct fuse;
class StagingArea;
class Uploader;
class VolumeFs;

// Runs one mounted volume: in the background (`mount -d`, where the starting process exits
// only once the FUSE mount is attached) or in the foreground. Whatever ends the mount
// (umount, SIGTERM, SIGINT, SIGHUP) lets staged data reach the backing folder first.
class MountDaemon {
public:
    explicit MountDaemon(MountConfig config) : config_(std::move(config)) {}

    // The starting process's exit code.
    int runDetached();
    int runForeground() { return serve(-1); }

private:
    int serve(int readyFd);
    fuse* mountVolume(VolumeFs& volume) const;
    int serveUntilUnmounted(fuse* fs, StagingArea& staging, Uploader& uploader);
    int awaitReady(int readFd, int childPid);
    void detachFromStarter(int readyFd);
    std::string fuseOptionText() const;
    static void report(int readyFd, char status);
    void watchSignals(StagingArea& staging);

    MountConfig config_;
};
