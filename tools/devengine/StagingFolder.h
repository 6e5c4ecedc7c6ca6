#pragma once

#include <optional>
#include <string>

// A volume's place in a cache folder: CACHE/KEY/rawstaging holds its staged blocks and
// CACHE/KEY/lock is held (flock) by the one engine serving the volume from this cache folder.
// KEY is the volume's name and a hash of its backing folder, so the next mount of the same
// volume with the same cache folder finds what an earlier engine left staged.
class StagingFolder {
public:
    // Nothing when the folder cannot be made, cannot hold files or is in use; `problem` says why.
    static std::optional<StagingFolder> open(const std::string& cacheDir,
                                             const std::string& volumeName,
                                             const std::string& backingFolder,
                                             std::string& problem);
    static std::string volumeKey(const std::string& volumeName, const std::string& backingFolder);

    StagingFolder(StagingFolder&& other) noexcept;
    StagingFolder& operator=(StagingFolder&&) = delete;
    StagingFolder(const StagingFolder&) = delete;
    ~StagingFolder();

    const std::string& path() const { return staging_; }
    int lockFd() const { return lockFd_; }
    // Writes the calling process's id into the lock file (the daemon, after the fork).
    void claimForThisProcess() const;

private:
    StagingFolder(std::string staging, int lockFd)
        : staging_(std::move(staging)), lockFd_(lockFd) {}

    std::string staging_;
    int lockFd_ = -1;
};
