#pragma once

#define FUSE_USE_VERSION 31

#include "tools/devengine/FileKey.h"
#include "tools/devengine/MountConfig.h"

#include <chrono>
#include <functional>
#include <fuse3/fuse.h>
#include <string>

class StagingArea;
class Uploader;

// The mounted volume's file operations: metadata goes straight to the backing folder, file
// data through the staging area, and "/.stats" is a read-only virtual file.
class VolumeFs {
public:
    VolumeFs(const MountConfig& config, StagingArea& staging, const Uploader& uploader,
             std::function<void()> onReady);

    static constexpr const char* kStatsPath = "/.stats";

    void* init(fuse_conn_info* conn, fuse_config* cfg);
    int getattr(const char* path, struct stat* st, fuse_file_info* fi);
    int readlink(const char* path, char* out, std::size_t size);
    int mkdir(const char* path, mode_t mode);
    int unlink(const char* path);
    int rmdir(const char* path);
    int symlink(const char* target, const char* path);
    int rename(const char* from, const char* to, unsigned int flags);
    int chmod(const char* path, mode_t mode, fuse_file_info* fi);
    int chown(const char* path, uid_t uid, gid_t gid, fuse_file_info* fi);
    int truncate(const char* path, off_t size, fuse_file_info* fi);
    int open(const char* path, fuse_file_info* fi);
    int create(const char* path, mode_t mode, fuse_file_info* fi);
    int read(const char* path, char* out, std::size_t size, off_t offset, fuse_file_info* fi);
    int write(const char* path, const char* data, std::size_t size, off_t offset,
              fuse_file_info* fi);
    int statfs(const char* path, struct statvfs* st);
    int flush(const char* path, fuse_file_info* fi);
    int release(const char* path, fuse_file_info* fi);
    int fsync(const char* path, int datasync, fuse_file_info* fi);
    int readdir(const char* path, void* buf, fuse_fill_dir_t filler, off_t offset,
                fuse_file_info* fi, fuse_readdir_flags flags);
    int fsyncdir(const char* path, int datasync, fuse_file_info* fi);
    int utimens(const char* path, const timespec tv[2], fuse_file_info* fi);
    int access(const char* path, int mask);

    std::string statsText() const;

private:
    std::string real(const char* path) const { return config_.backingFolder + path; }
    static bool isStats(const char* path);
    void statsAttributes(struct stat* st) const;
    int openBacking(const char* path, int flags, mode_t mode, fuse_file_info* fi);
    void applyView(struct stat* st) const;

    const MountConfig& config_;
    StagingArea& staging_;
    const Uploader& uploader_;
    std::function<void()> onReady_;
    std::chrono::steady_clock::time_point started_;
    timespec startedWall_{};
};
