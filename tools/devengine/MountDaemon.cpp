#include "tools/devengine/MountDaemon.h"

#include "tools/devengine/EngineLog.h"
#include "tools/devengine/FuseBridge.h"
#include "tools/devengine/MountTable.h"
#include "tools/devengine/ShutdownWatcher.h"
#include "tools/devengine/StagingArea.h"
#include "tools/devengine/StagingRecovery.h"
#include "tools/devengine/Units.h"
#include "tools/devengine/Uploader.h"
#include "tools/devengine/VolumeFs.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdarg>
#include <cstring>
#include <fcntl.h>
#include <fuse3/fuse_log.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

constexpr auto kReadyTimeout = std::chrono::seconds(120);
constexpr char kReady = 0;
constexpr char kFailed = 1;

void fuseLog(fuse_log_level level, const char* format, va_list args) {
    char text[1024];
    std::vsnprintf(text, sizeof text, format, args);
    std::string message(text);
    while (!message.empty() && message.back() == '\n')
        message.pop_back();
    if (level <= FUSE_LOG_ERR)
        logError("fuse: " + message);
    else if (level <= FUSE_LOG_NOTICE)
        logWarning("fuse: " + message);
}

// libfuse splits -o at commas; a backslash keeps one inside a value.
std::string escapeOption(const std::string& value) {
    std::string out;
    for (const char c : value) {
        if (c == ',' || c == '\\')
            out.push_back('\\');
        out.push_back(c);
    }
    return out;
}

void closeAllExcept(int a, int b) {
    int keep[2] = {std::min(a, b), std::max(a, b)};
    unsigned from = 3;
    for (const int fd : keep) {
        if (fd < static_cast<int>(from))
            continue;
        if (static_cast<unsigned>(fd) > from)
            ::close_range(from, static_cast<unsigned>(fd) - 1, 0);
        from = static_cast<unsigned>(fd) + 1;
    }
    ::close_range(from, ~0U, 0);
}

// Everything the child writes before it closes the pipe, or nothing when the time runs out.
std::optional<std::string> readUntilClosed(int fd, std::chrono::steady_clock::time_point deadline) {
    std::string got;
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0)
            return std::nullopt;
        pollfd wait{fd, POLLIN, 0};
        const int polled = ::poll(&wait, 1, static_cast<int>(left.count()));
        if (polled < 0 && errno == EINTR)
            continue;
        if (polled <= 0)
            return std::nullopt;
        char chunk[512];
        const ssize_t n = ::read(fd, chunk, sizeof chunk);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return got;
        got.append(chunk, static_cast<std::size_t>(n));
    }
}

std::string plural(std::uint64_t n, const char* one, const char* many) {
    return std::to_string(n) + " " + (n == 1 ? one : many);
}

} // namespace

void MountDaemon::report(char status, const std::string& message) {
    const int fd = readyFd_.exchange(-1);
    if (fd < 0)
        return;
    const std::string bytes = std::string(1, status) + message;
    [[maybe_unused]] const ssize_t n = ::write(fd, bytes.data(), bytes.size());
    ::close(fd);
}

std::string MountDaemon::fuseOptionText() const {
    std::string text =
        "fsname=" + escapeOption("JuiceFS:" + config_.volumeName) + ",subtype=juicefs";
    std::vector<std::string> options = config_.fuseOptions;
    if (::geteuid() == 0) // as JuiceFS does for root: every user may reach the drive
        options.insert(options.end(), {"allow_other", "default_permissions"});
    std::sort(options.begin(), options.end());
    options.erase(std::unique(options.begin(), options.end()), options.end());
    for (const auto& option : options)
        text += "," + option;
    return text;
}

int MountDaemon::runDetached() {
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) {
        logFatal(std::string("pipe: ") + std::strerror(errno));
        return 1;
    }
    const pid_t pid = ::fork();
    if (pid < 0) {
        logFatal(std::string("fork: ") + std::strerror(errno));
        return 1;
    }
    if (pid == 0) {
        ::close(fds[0]);
        detachFromStarter(fds[1]);
        ::_exit(serve(fds[1]));
    }
    ::close(fds[1]);
    return awaitReady(fds[0], pid);
}

void MountDaemon::detachFromStarter(int readyFd) {
    ::setsid();
    // The starter's output pipe must reach end-of-file once the starter exits.
    const int null = ::open("/dev/null", O_RDWR);
    for (int fd = 0; fd <= 2; ++fd)
        ::dup2(null, fd);
    if (null > 2)
        ::close(null);
    closeAllExcept(readyFd, folder_.lockFd());
    [[maybe_unused]] const int rc = ::chdir("/");
    EngineLog::instance().setStderr(false);
}

// The daemon logs its failure itself; the starter repeats the reason under its own process
// id and on its own output, which is what the client that started it sees.
int MountDaemon::awaitReady(int readFd, int childPid) {
    const auto got = readUntilClosed(readFd, std::chrono::steady_clock::now() + kReadyTimeout);
    ::close(readFd);
    if (!got) {
        logFatal("the mount of " + config_.volumeName + " did not get ready in time");
        ::kill(childPid, SIGTERM);
        return 1;
    }
    if (got->empty()) {
        logFatal("the mount process ended before " + config_.volumeName + " was ready");
        ::waitpid(childPid, nullptr, 0);
        return 1;
    }
    if ((*got)[0] == kReady) {
        if (MountTable::isEngineMount(config_.mountPoint)) {
            logInfo("OK, " + config_.volumeName + " is ready at " + config_.mountPoint);
            return 0;
        }
        logFatal("no JuiceFS file system is attached at " + config_.mountPoint);
        return 1;
    }
    const std::string reason = got->substr(1);
    logFatal(reason.empty() ? "the mount of " + config_.volumeName + " failed" : reason);
    ::waitpid(childPid, nullptr, 0);
    return 1;
}

fuse* MountDaemon::mountVolume(VolumeFs& volume, std::string& problem) const {
    fuse_set_log_func(fuseLog);
    const std::string options = fuseOptionText();
    std::string optionText = options;
    char program[] = "juicefs";
    char dashO[] = "-o";
    char* argv[] = {program, dashO, optionText.data(), nullptr};
    fuse_args args = FUSE_ARGS_INIT(3, argv);
    const fuse_operations ops = FuseBridge::operations();
    fuse* fs = fuse_new(&args, &ops, sizeof ops, &volume);
    fuse_opt_free_args(&args);
    if (fs && fuse_mount(fs, config_.mountPoint.c_str()) == 0)
        return fs;
    problem = "cannot mount " + config_.volumeName + " at " + config_.mountPoint +
              " (FUSE options " + options + ")";
    logFatal(problem);
    if (fs)
        fuse_destroy(fs);
    return nullptr;
}

int MountDaemon::serveUntilUnmounted(fuse* fs, StagingArea& staging, Uploader& uploader) {
    uploader.start();
    ShutdownWatcher watcher(config_, staging);
    watcher.start();
    logInfo("mounted " + config_.volumeName + " at " + config_.mountPoint + " from " +
            config_.backingFolder);
    const int looped = fuse_loop_mt(fs, 0);
    watcher.sessionEnded();
    if (!staging.abandoned()) {
        logInfo("file system at " + config_.mountPoint + " detached; uploading staged data");
        staging.flushAll();
    }
    uploader.stop();
    staging.stop();
    watcher.finish();
    fuse_unmount(fs);
    fuse_destroy(fs);
    return looped;
}

void MountDaemon::recover(StagingArea& staging) const {
    StagingRecovery::Report found;
    for (auto& file : StagingRecovery::scan(folder_.path(), config_.backingFolder, found))
        staging.adopt(std::move(file));
    if (found.blocks > 0)
        logInfo("found " + plural(found.blocks, "staged block", "staged blocks") + " (" +
                Units::humanBytes(found.bytes) + ") of " + plural(found.files, "file", "files") +
                " left by an earlier engine of " + config_.volumeName + "; uploading them");
    if (found.damaged > 0)
        logWarning("dropped " +
                   plural(found.damaged, "damaged staged block", "damaged staged blocks") + " in " +
                   folder_.path() +
                   ": they fail their length or checksum test and are never uploaded");
    if (found.unfinished > 0)
        logInfo("dropped " + plural(found.unfinished, "staged block", "staged blocks") +
                " whose writes were never acknowledged (an engine stopped while writing them)");
    if (found.orphaned > 0)
        logWarning("dropped " + plural(found.orphaned, "staged block", "staged blocks") +
                   " that belong to no staged file");
    if (found.renamed > 0)
        logInfo("found " + plural(found.renamed, "staged file", "staged files") +
                " under a new name in " + config_.volumeName);
    for (const auto& path : found.lostPaths)
        logWarning("staged data of " + path + " dropped: the file is no longer in " +
                   config_.volumeName);
}

// Whatever is still staged stays durable for the next mount; true when nothing stayed.
bool MountDaemon::keepLeftovers(StagingArea& staging) const {
    const auto left = staging.snapshot();
    if (left.blocks == 0)
        return true;
    if (const int err = staging.commitAll(); err < 0)
        logError(std::string("staged data of ") + config_.volumeName +
                 " could not all be made durable: " + std::strerror(-err));
    logWarning(plural(left.blocks, "staged block", "staged blocks") + " (" +
               Units::humanBytes(left.bytes) + ") stay in " + folder_.path() +
               "; the next mount of " + config_.volumeName + " uploads them");
    return false;
}

int MountDaemon::serveVolume() {
    const sigset_t signals = ShutdownWatcher::handledSignals();
    ::pthread_sigmask(SIG_BLOCK, &signals, nullptr);
    std::signal(SIGPIPE, SIG_IGN);
    folder_.claimForThisProcess();

    StagingArea staging({folder_.path(), config_.blockSize,
                         Units::toNanoseconds(config_.uploadDelaySeconds),
                         config_.cacheSizeMiB << 20});
    recover(staging);
    Uploader uploader(staging, config_.uploadBytesPerSecond);
    VolumeFs volume(config_, staging, uploader, [this] { report(kReady); });
    std::string problem;
    fuse* fs = mountVolume(volume, problem);
    if (!fs) {
        report(kFailed, problem);
        return 1;
    }
    const int looped = serveUntilUnmounted(fs, staging, uploader);
    const bool drained = keepLeftovers(staging);
    logInfo("unmounted " + config_.volumeName + " from " + config_.mountPoint);
    return looped == 0 && drained ? 0 : 1;
}

int MountDaemon::serve(int readyFd) {
    readyFd_ = readyFd;
    int code = 1;
    try {
        code = serveVolume();
    } catch (const std::exception& e) {
        const std::string reason = std::string("unexpected error in the engine of ") +
                                   config_.volumeName + ": " + e.what();
        logFatal(reason);
        report(kFailed, reason);
    }
    report(kFailed, "the mount process ended before " + config_.volumeName + " was ready");
    return code;
}
