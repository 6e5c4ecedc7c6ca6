#include "tools/devengine/StagingFolder.h"

#include "tools/devengine/FileIo.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <sys/file.h>
#include <unistd.h>

namespace {

constexpr std::size_t kNameBytesInKey = 64;

std::uint64_t fnv1a(const std::string& text) {
    std::uint64_t hash = 0xcbf29ce484222325ull;
    for (const unsigned char c : text) {
        hash ^= c;
        hash *= 0x100000001b3ull;
    }
    return hash;
}

// Proves the folder takes a new file, which permissions, a read-only or full disk would refuse.
std::optional<std::string> probeWritable(const std::string& folder) {
    const std::string probe = folder + "/.probe-" + std::to_string(::getpid());
    const FileIo::Descriptor fd(
        ::open(probe.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600));
    if (fd.fd < 0)
        return std::string(std::strerror(errno));
    const char byte = 0;
    const bool wrote = FileIo::pwriteFull(fd.fd, &byte, 1, 0) == 1;
    const int err = errno;
    ::unlink(probe.c_str());
    if (!wrote)
        return std::string(std::strerror(err));
    return std::nullopt;
}

std::string holderOf(int fd) {
    char text[32] = {};
    const ssize_t got = FileIo::preadFull(fd, text, sizeof text - 1, 0);
    std::string pid(text, got > 0 ? static_cast<std::size_t>(got) : 0);
    while (!pid.empty() && (pid.back() == '\n' || pid.back() == ' '))
        pid.pop_back();
    return pid.empty() || pid.find_first_not_of("0123456789") != std::string::npos
               ? std::string()
               : " (pid " + pid + ")";
}

} // namespace

std::string StagingFolder::volumeKey(const std::string& volumeName,
                                     const std::string& backingFolder) {
    char hash[17];
    std::snprintf(hash, sizeof hash, "%016llx",
                  static_cast<unsigned long long>(fnv1a(backingFolder)));
    std::string name = volumeName.substr(0, kNameBytesInKey);
    for (char& c : name)
        if (c == '/' || static_cast<unsigned char>(c) < 0x20)
            c = '_';
    return name + "-" + hash;
}

std::optional<StagingFolder> StagingFolder::open(const std::string& cacheDir,
                                                 const std::string& volumeName,
                                                 const std::string& backingFolder,
                                                 std::string& problem) {
    const std::string volumeDir = cacheDir + "/" + volumeKey(volumeName, backingFolder);
    const std::string staging = volumeDir + "/rawstaging";
    std::error_code failed;
    std::filesystem::create_directories(staging, failed);
    if (failed || !std::filesystem::is_directory(staging, failed)) {
        problem = "cannot use the cache folder " + cacheDir + ": " +
                  (failed ? failed.message() : std::string("not a folder"));
        return std::nullopt;
    }
    if (const auto why = probeWritable(staging)) {
        problem = "cannot write in the cache folder " + cacheDir + ": " + *why;
        return std::nullopt;
    }
    const std::string lockPath = volumeDir + "/lock";
    const int fd = ::open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0) {
        problem = "cannot write in the cache folder " + cacheDir + ": " + std::strerror(errno);
        return std::nullopt;
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const int err = errno;
        problem = err == EWOULDBLOCK
                      ? "the cache folder " + cacheDir + " is in use by another engine serving " +
                            volumeName + holderOf(fd)
                      : "cannot lock " + lockPath + ": " + std::strerror(err);
        ::close(fd);
        return std::nullopt;
    }
    StagingFolder folder(staging, fd);
    folder.claimForThisProcess();
    return folder;
}

StagingFolder::StagingFolder(StagingFolder&& other) noexcept
    : staging_(std::move(other.staging_)), lockFd_(other.lockFd_) {
    other.lockFd_ = -1;
}

StagingFolder::~StagingFolder() {
    if (lockFd_ >= 0)
        ::close(lockFd_);
}

void StagingFolder::claimForThisProcess() const {
    const std::string pid = std::to_string(::getpid()) + "\n";
    if (::ftruncate(lockFd_, 0) == 0)
        FileIo::pwriteFull(lockFd_, pid.data(), pid.size(), 0);
}
