#pragma once

#include <cstdint>
#include <sys/types.h>

// Whole-buffer positional I/O that retries on EINTR and short transfers.
namespace FileIo {

// Bytes read (short only at end of file) or negative errno.
ssize_t preadFull(int fd, char* out, std::size_t size, std::uint64_t offset);
// `size` or negative errno.
ssize_t pwriteFull(int fd, const char* data, std::size_t size, std::uint64_t offset);

} // namespace FileIo
