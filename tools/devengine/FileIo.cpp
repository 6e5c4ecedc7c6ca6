#include "tools/devengine/FileIo.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace FileIo {

ssize_t preadFull(int fd, char* out, std::size_t size, std::uint64_t offset) {
    std::size_t done = 0;
    while (done < size) {
        const ssize_t n = ::pread(fd, out + done, size - done, static_cast<off_t>(offset + done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return -errno;
        if (n == 0)
            break;
        done += static_cast<std::size_t>(n);
    }
    return static_cast<ssize_t>(done);
}

ssize_t pwriteFull(int fd, const char* data, std::size_t size, std::uint64_t offset) {
    std::size_t done = 0;
    while (done < size) {
        const ssize_t n = ::pwrite(fd, data + done, size - done, static_cast<off_t>(offset + done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return -errno;
        done += static_cast<std::size_t>(n);
    }
    return static_cast<ssize_t>(done);
}

namespace {

int copyByReading(int from, int to, std::uint64_t done, std::uint64_t length) {
    std::vector<char> chunk(1 << 20);
    while (done < length) {
        const std::size_t want =
            static_cast<std::size_t>(std::min<std::uint64_t>(chunk.size(), length - done));
        const ssize_t got = preadFull(from, chunk.data(), want, done);
        if (got < 0)
            return static_cast<int>(got);
        if (got == 0)
            return -EIO; // the source is shorter than it claims
        if (const ssize_t put = pwriteFull(to, chunk.data(), static_cast<std::size_t>(got), done);
            put < 0)
            return static_cast<int>(put);
        done += static_cast<std::uint64_t>(got);
    }
    return 0;
}

} // namespace

int copyPrefix(int from, int to, std::uint64_t length) {
    loff_t in = 0, out = 0;
    while (static_cast<std::uint64_t>(in) < length) {
        const ssize_t n =
            ::copy_file_range(from, &in, to, &out,
                              static_cast<std::size_t>(length - static_cast<std::uint64_t>(in)), 0);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && (errno == EXDEV || errno == ENOSYS || errno == EINVAL || errno == EOPNOTSUPP))
            return copyByReading(from, to, static_cast<std::uint64_t>(in), length);
        if (n < 0)
            return -errno;
        if (n == 0)
            return -EIO;
    }
    return 0;
}

int syncFolder(const std::string& folder) {
    const Descriptor dir(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir.fd < 0)
        return -errno;
    return ::fsync(dir.fd) == 0 ? 0 : -errno;
}

int replaceFile(const std::string& path, const std::string& bytes) {
    const std::string scratch = path + ".w";
    {
        const Descriptor out(
            ::open(scratch.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600));
        if (out.fd < 0)
            return -errno;
        if (const ssize_t put = pwriteFull(out.fd, bytes.data(), bytes.size(), 0); put < 0)
            return static_cast<int>(put);
        if (::fdatasync(out.fd) != 0)
            return -errno;
    }
    return ::rename(scratch.c_str(), path.c_str()) == 0 ? 0 : -errno;
}

std::optional<timespec> birthTime(int fd) {
    struct statx st {};
    if (::statx(fd, "", AT_EMPTY_PATH, STATX_BTIME, &st) != 0 || !(st.stx_mask & STATX_BTIME))
        return std::nullopt;
    return timespec{static_cast<time_t>(st.stx_btime.tv_sec),
                    static_cast<long>(st.stx_btime.tv_nsec)};
}

} // namespace FileIo
