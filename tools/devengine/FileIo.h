#pragma once

#include <cstdint>
#include <sys/types.h>
#include <unistd.h>

// Whole-buffer positional I/O that retries on EINTR and short transfers.
namespace FileIo {

// Bytes read (short only at end of file) or negative errno.
ssize_t preadFull(int fd, char* out, std::size_t size, std::uint64_t offset);
// `size` or negative errno.
ssize_t pwriteFull(int fd, const char* data, std::size_t size, std::uint64_t offset);

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
