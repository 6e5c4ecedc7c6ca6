#include "tools/devengine/MountDaemon.h"

#include "tools/devengine/EngineLog.h"
#include "tools/devengine/FuseBridge.h"
#include "tools/devengine/MountTable.h"
#include "tools/devengine/StagingArea.h"
#include "tools/devengine/Unmounter.h"
#include "tools/devengine/Uploader.h"
#include "tools/devengine/VolumeFs.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdarg>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fuse3/fuse_log.h>
#include <poll.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

constexpr int kReadyTimeoutMs = 120 * 1000;
constexpr char kReady = 0;
constexpr char kFailed = 1;

// The signal thread's own wake-up, sent by the main thread once the mount is gone.
int wakeSignal() {
    return SIGRTMIN + 1;
}

sigset_t daemonSignals() {
    sigset_t set;
    sigemptyset(&set);
    for (const int sig : {SIGTERM, SIGINT, SIGHUP, wakeSignal()})
        sigaddset(&set, sig);
    return set;
}

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

} // namespace

void MountDaemon::report(int readyFd, char status) {
    if (readyFd < 0)
        return;
    [[maybe_unused]] const ssize_t n = ::write(readyFd, &status, 1);
    ::close(readyFd);
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
    if (readyFd > 3)
        ::close_range(3, static_cast<unsigned>(readyFd) - 1, 0);
    ::close_range(static_cast<unsigned>(readyFd) + 1, ~0U, 0);
    [[maybe_unused]] const int rc = ::chdir("/");
    EngineLog::instance().setStderr(false);
}

int MountDaemon::awaitReady(int readFd, int childPid) {
    pollfd wait{readFd, POLLIN, 0};
    int polled = 0;
    do
        polled = ::poll(&wait, 1, kReadyTimeoutMs);
    while (polled < 0 && errno == EINTR);
    char status = kFailed;
    const ssize_t got = polled > 0 ? ::read(readFd, &status, 1) : -1;
    ::close(readFd);
    if (got == 1 && status == kReady && MountTable::isEngineMount(config_.mountPoint)) {
        logInfo("OK, " + config_.volumeName + " is ready at " + config_.mountPoint);
        return 0;
    }
    if (polled == 0) {
        logFatal("the mount of " + config_.volumeName + " did not get ready in time");
        ::kill(childPid, SIGTERM);
        return 1;
    }
    if (got != 1)
        logFatal("the mount process ended before " + config_.volumeName + " was ready");
    else if (status == kReady)
        logFatal("no JuiceFS file system is attached at " + config_.mountPoint);
    if (status != kReady)
        ::waitpid(childPid, nullptr, 0);
    return 1;
}

void MountDaemon::watchSignals(StagingArea& staging) {
    const sigset_t set = daemonSignals();
    int sig = 0;
    if (::sigwait(&set, &sig) != 0 || sig == wakeSignal())
        return;
    logInfo(std::string("received signal ") + ::strsignal(sig) +
            ", uploading staged data before unmounting");
    staging.flushAll();
    if (MountTable::isEngineMount(config_.mountPoint) &&
        !Unmounter::unmount(config_.mountPoint, false) &&
        !Unmounter::unmount(config_.mountPoint, true))
        logError("cannot unmount " + config_.mountPoint);
}

fuse* MountDaemon::mountVolume(VolumeFs& volume) const {
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
    logFatal("cannot mount " + config_.volumeName + " at " + config_.mountPoint +
             " (FUSE options " + options + ")");
    if (fs)
        fuse_destroy(fs);
    return nullptr;
}

int MountDaemon::serveUntilUnmounted(fuse* fs, StagingArea& staging, Uploader& uploader) {
    uploader.start();
    std::thread watcher([this, &staging] { watchSignals(staging); });
    logInfo("mounted " + config_.volumeName + " at " + config_.mountPoint + " from " +
            config_.backingFolder);
    const int looped = fuse_loop_mt(fs, 0);
    logInfo("file system at " + config_.mountPoint + " detached; uploading staged data");
    staging.flushAll();
    uploader.stop();
    staging.stop();
    ::pthread_kill(watcher.native_handle(), wakeSignal());
    watcher.join();
    fuse_unmount(fs);
    fuse_destroy(fs);
    return looped;
}

int MountDaemon::serve(int readyFd) {
    const sigset_t signals = daemonSignals();
    ::pthread_sigmask(SIG_BLOCK, &signals, nullptr);
    std::signal(SIGPIPE, SIG_IGN);

    const std::string session = config_.cacheDir + "/devengine-" + std::to_string(::getpid());
    std::error_code failed;
    std::filesystem::create_directories(session + "/rawstaging", failed);
    if (failed) {
        logFatal("cannot create the staging folder in " + config_.cacheDir + ": " +
                 failed.message());
        report(readyFd, kFailed);
        return 1;
    }
    StagingArea staging({session + "/rawstaging", config_.blockSize,
                         std::chrono::duration_cast<StagingArea::Clock::duration>(
                             std::chrono::duration<double>(config_.uploadDelaySeconds)),
                         config_.cacheSizeMiB << 20});
    Uploader uploader(staging, config_.uploadBytesPerSecond);
    int ready = readyFd;
    VolumeFs volume(config_, staging, uploader, [&ready] {
        report(ready, kReady);
        ready = -1;
    });
    fuse* fs = mountVolume(volume);
    const int looped = fs ? serveUntilUnmounted(fs, staging, uploader) : -1;
    report(ready, kFailed);

    const bool drained = staging.snapshot().blocks == 0;
    if (drained)
        std::filesystem::remove_all(session, failed);
    else
        logError("staged data left in " + session);
    if (fs)
        logInfo("unmounted " + config_.volumeName + " from " + config_.mountPoint);
    return looped == 0 && drained ? 0 : 1;
}
