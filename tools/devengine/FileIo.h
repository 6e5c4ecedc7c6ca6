#pragma once

#include <cstdint>
#include <ctime>
#include <optional>
#include <string>
#include <sys/types.h>
#include <unistd.h>

// Whole-buffer positional I/O that retries on EINTR and short transfers, and the few durable
// file steps the staging folder needs.
namespace FileIo {

// Bytes read (short only at end of file) or negative errno.
ssize_t preadFull(int fd, char* out, std::size_t size, std::uint64_t offset);
// `size` or negative errno.
ssize_t pwriteFull(int fd, const char* data, std::size_t size, std::uint64_t offset);
// Copies the first `length` bytes of `from` to the start of `to`; 0 or negative errno.
int copyPrefix(int from, int to, std::uint64_t length);
// Makes a folder's entries (created, renamed, removed names) durable; 0 or negative errno.
int syncFolder(const std::string& folder);
// Writes `bytes` beside `path`, syncs them and renames them over `path`, so a reader sees the
// old or the new content, never a part; the folder still needs syncFolder. 0 or negative errno.
int replaceFile(const std::string& path, const std::string& bytes);
// The file's creation time where the file system keeps one.
std::optional<timespec> birthTime(int fd);

// Closes the descriptor it holds when it goes out of scope.
struct Descriptor {
    int fd;
    explicit Descriptor(int value) : fd(value) {}
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    ~Descriptor() {
        if (fd >= 0)
            ::close(fd);
    }
};

} // namespace FileIo
