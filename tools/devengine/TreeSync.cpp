#include "tools/devengine/TreeSync.h"

#include "tools/devengine/EngineLog.h"
#include "tools/devengine/FileIo.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <thread>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

namespace {

constexpr std::size_t kCopyChunk = 256 * 1024;

using FileIo::Descriptor;

std::string withoutTrailingSlash(std::string path) {
    while (path.size() > 1 && path.back() == '/')
        path.pop_back();
    return path;
}

bool newer(const timespec& a, const timespec& b) {
    return a.tv_sec != b.tv_sec ? a.tv_sec > b.tv_sec : a.tv_nsec > b.tv_nsec;
}

} // namespace

TreeSync::TreeSync(std::string source, std::string destination, Options options,
                   SyncCounters& counters)
    : source_(withoutTrailingSlash(std::move(source))),
      destination_(withoutTrailingSlash(std::move(destination))), options_(options),
      counters_(counters), limiter_(options.bytesPerSecond) {}

bool TreeSync::run() {
    std::vector<std::thread> workers;
    for (unsigned i = 0; i < std::max(1u, options_.threads); ++i)
        workers.emplace_back([this] { work(); });
    scan();
    {
        std::lock_guard lock(mutex_);
        scanned_ = true;
    }
    changed_.notify_all();
    for (auto& worker : workers)
        worker.join();
    return counters_.failed == 0;
}

void TreeSync::push(std::string relative) {
    ++counters_.scanned;
    ++counters_.pending;
    {
        std::lock_guard lock(mutex_);
        queue_.push_back(std::move(relative));
    }
    changed_.notify_one();
}

void TreeSync::scan() {
    scanFolder("");
}

// Depth first, one folder at a time, so a folder that cannot be listed costs only itself.
void TreeSync::scanFolder(const std::string& relative) {
    const std::string folder = relative.empty() ? source_ : source_ + "/" + relative;
    std::error_code error;
    fs::directory_iterator it(folder, error);
    for (const fs::directory_iterator end; !error && it != end; it.increment(error)) {
        const std::string name = it->path().filename().string();
        const std::string child = relative.empty() ? name : relative + "/" + name;
        std::error_code kind;
        // Links to folders are not followed, as the real client does without --links.
        if (it->is_directory(kind) && !it->is_symlink(kind)) {
            if (options_.dirs)
                push(child + "/");
            scanFolder(child);
        } else {
            push(child);
        }
    }
    if (error) {
        logError("listing " + folder + " failed: " + error.message());
        ++counters_.failed;
    }
}

void TreeSync::work() {
    for (;;) {
        std::string relative;
        {
            std::unique_lock lock(mutex_);
            changed_.wait(lock, [this] { return !queue_.empty() || scanned_; });
            if (queue_.empty())
                return;
            relative = std::move(queue_.front());
            queue_.pop_front();
        }
        handle(relative);
        --counters_.pending;
        ++counters_.handled;
    }
}

void TreeSync::handle(const std::string& relative) {
    const std::string from = source_ + "/" + relative;
    const std::string to = destination_ + "/" + relative;
    std::error_code error;
    if (relative.back() == '/') {
        if (!options_.dryRun)
            fs::create_directories(to, error);
        ++(error ? counters_.failed : counters_.copied);
        return;
    }
    struct stat src {};
    if (::stat(from.c_str(), &src) != 0 || !S_ISREG(src.st_mode)) {
        ++counters_.skipped; // sockets, fifos, dangling links: nothing to copy
        return;
    }
    if (!needsCopy(src, to)) {
        ++counters_.skipped;
        counters_.skippedBytes += static_cast<std::uint64_t>(src.st_size);
        return;
    }
    if (options_.dryRun || copy(from, to, src)) {
        ++counters_.copied;
        return;
    }
    logError("failed to copy " + relative + ": " + std::strerror(errno));
    ++counters_.failed;
}

bool TreeSync::needsCopy(const struct stat& src, const std::string& target) const {
    struct stat dst {};
    if (options_.forceUpdate || ::stat(target.c_str(), &dst) != 0)
        return true;
    if (src.st_size != dst.st_size)
        return true;
    return options_.update && newer(src.st_mtim, dst.st_mtim);
}

bool TreeSync::copy(const std::string& from, const std::string& to, const struct stat& src) {
    const fs::path target(to);
    std::error_code error;
    fs::create_directories(target.parent_path(), error);
    // A short name of its own: the target's name may already be as long as a name can be.
    const std::string temporary =
        (target.parent_path() /
         (".sync-" + std::to_string(::gettid()) + "-" + std::to_string(++temporaries_) + ".tmp"))
            .string();
    Descriptor in(::open(from.c_str(), O_RDONLY | O_CLOEXEC));
    Descriptor out(::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666));
    if (in.fd < 0 || out.fd < 0)
        return false;
    bool ok = copyBytes(in.fd, out.fd);
    const timespec times[2] = {{0, UTIME_NOW}, src.st_mtim};
    ok = ok && ::futimens(out.fd, times) == 0;
    if (ok && options_.perms)
        ok = ::fchmod(out.fd, src.st_mode & 07777) == 0;
    ok = ok && ::rename(temporary.c_str(), to.c_str()) == 0;
    if (!ok) {
        const int saved = errno;
        ::unlink(temporary.c_str());
        errno = saved;
    }
    return ok;
}

bool TreeSync::copyBytes(int in, int out) {
    std::vector<char> chunk(kCopyChunk);
    for (std::uint64_t offset = 0;;) {
        const ssize_t got = FileIo::preadFull(in, chunk.data(), chunk.size(), offset);
        if (got < 0) {
            errno = static_cast<int>(-got);
            return false;
        }
        if (got == 0)
            return true;
        if (!limiter_.unlimited())
            std::this_thread::sleep_until(
                limiter_.reserve(static_cast<std::uint64_t>(got), RateLimiter::Clock::now()));
        if (const ssize_t put = FileIo::pwriteFull(out, chunk.data(), got, offset); put < 0) {
            errno = static_cast<int>(-put);
            return false;
        }
        offset += static_cast<std::uint64_t>(got);
        counters_.copiedBytes += static_cast<std::uint64_t>(got);
    }
}
