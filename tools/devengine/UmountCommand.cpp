#include "tools/devengine/UmountCommand.h"

#include "tools/devengine/EngineLog.h"
#include "tools/devengine/LocalPath.h"
#include "tools/devengine/MountProbe.h"
#include "tools/devengine/MountTable.h"
#include "tools/devengine/ProcessWatch.h"
#include "tools/devengine/Units.h"
#include "tools/devengine/Unmounter.h"

#include <cerrno>
#include <charconv>
#include <condition_variable>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <map>
#include <memory>
#include <mutex>
#include <sstream>
#include <thread>
#include <unistd.h>

namespace {

constexpr auto kDaemonExitTimeout = std::chrono::seconds(120);
constexpr auto kProbeLimit = std::chrono::seconds(5);
constexpr auto kProgressEvery = std::chrono::seconds(1);
constexpr auto kProgressAtLeastEvery = std::chrono::seconds(10);

std::string readAll(const std::string& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

std::map<std::string, std::uint64_t> numbers(const std::string& statsText) {
    std::map<std::string, std::uint64_t> values;
    std::istringstream lines(statsText);
    for (std::string name, value; lines >> name >> value;) {
        std::uint64_t number = 0;
        const auto [end, ec] = std::from_chars(value.data(), value.data() + value.size(), number);
        if (ec == std::errc() && end == value.data() + value.size())
            values[name] = number;
    }
    return values;
}

std::string describeBacklog(std::uint64_t blocks, std::uint64_t bytes) {
    return std::to_string(blocks) + (blocks == 1 ? " staged block (" : " staged blocks (") +
           Units::humanBytes(bytes) + ")";
}

// The fsync of the mount root, on its own thread so the caller can report while it waits.
struct Flush {
    std::mutex mutex;
    std::condition_variable done;
    bool finished = false;
    int error = 0;
};

} // namespace

OptionTable UmountCommand::optionTable() {
    OptionTable table;
    table.booleans = {"force", "flush", "verbose", "debug", "quiet"};
    table.aliases = {{"f", "force"}, {"v", "verbose"}, {"q", "quiet"}};
    table.minPositionals = 1;
    table.maxPositionals = 1;
    return table;
}

std::optional<pid_t> UmountCommand::daemonPid(const std::string& statsText) {
    const auto values = numbers(statsText);
    const auto it = values.find("juicefs_pid");
    if (it == values.end() || it->second == 0 || it->second > 0x3FFFFFFF)
        return std::nullopt;
    return static_cast<pid_t>(it->second);
}

std::optional<UmountCommand::Backlog> UmountCommand::backlog(const std::string& statsText) {
    const auto values = numbers(statsText);
    const auto blocks = values.find("juicefs_staging_blocks");
    const auto bytes = values.find("juicefs_staging_block_bytes");
    const auto sent = values.find("juicefs_object_request_data_bytes_PUT");
    if (blocks == values.end() || bytes == values.end())
        return std::nullopt;
    return Backlog{blocks->second, bytes->second, sent == values.end() ? 0 : sent->second};
}

// fsync on the mount's root makes the daemon upload everything staged before it answers;
// meanwhile the backlog is printed once a second while the upload moves.
int UmountCommand::flushWithProgress(const std::string& mountPoint) {
    auto flush = std::make_shared<Flush>();
    std::thread([flush, mountPoint] {
        const int fd = ::open(mountPoint.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        const int error = fd < 0 || ::fsync(fd) != 0 ? errno : 0;
        if (fd >= 0)
            ::close(fd);
        std::lock_guard lock(flush->mutex);
        flush->finished = true;
        flush->error = error;
        flush->done.notify_all();
    }).detach();
    std::optional<Backlog> first, last;
    auto lastPrinted = std::chrono::steady_clock::now();
    for (bool start = true;; start = false) {
        {
            std::unique_lock lock(flush->mutex);
            if (flush->done.wait_for(lock, start ? std::chrono::milliseconds(200) : kProgressEvery,
                                     [&] { return flush->finished; }))
                return flush->error;
        }
        const auto now = std::chrono::steady_clock::now();
        const auto left = backlog(readAll(mountPoint + "/.stats"));
        if (!left || left->blocks == 0)
            continue;
        if (last && left->sentBytes == last->sentBytes && now - lastPrinted < kProgressAtLeastEvery)
            continue;
        if (!first)
            first = left;
        const std::uint64_t sent = left->sentBytes - std::min(left->sentBytes, first->sentBytes);
        logInfo(std::string(last ? "still uploading " : "uploading ") +
                describeBacklog(left->blocks, left->bytes) + " of " + mountPoint +
                " before unmounting" +
                (last ? ", " + Units::humanBytes(sent) + " sent" : std::string()));
        last = left;
        lastPrinted = now;
    }
}

int UmountCommand::detachGone(const std::string& mountPoint, const std::string& why, bool force) {
    if (!force) {
        logError(mountPoint + " is not connected: its engine has stopped (" + why +
                 "); detach it with fusermount3 -uz " + mountPoint +
                 " (what it had staged uploads at the next mount)");
        return kEngineGone;
    }
    if (!Unmounter::unmount(mountPoint, true)) {
        logError("could not detach " + mountPoint + ", whose engine has stopped (" + why + ")");
        return kEngineGone;
    }
    logWarning("detached " + mountPoint + ", whose engine had stopped (" + why + ")");
    return 0;
}

int UmountCommand::run(const std::vector<std::string>& args) {
    const CommandLine line = CommandLine::parse(args, optionTable());
    if (line.error()) {
        logError(*line.error() + "; usage: juicefs umount [--force] MOUNTPOINT");
        return 1;
    }
    const auto resolved = LocalPath::resolve(line.positionals()[0]);
    if (!resolved) {
        logError("invalid mount point \"" + line.positionals()[0] + "\"");
        return 1;
    }
    const std::string& mountPoint = *resolved;
    const bool force = line.flag("force");
    if (!MountTable::isEngineMount(mountPoint)) {
        logError(mountPoint + " is not mounted");
        return 1;
    }
    const auto probe = MountProbe::check(mountPoint, kProbeLimit);
    if (probe.answer != MountProbe::Answer::alive)
        return detachGone(mountPoint, MountProbe::describe(probe, kProbeLimit), force);

    const auto pid = daemonPid(readAll(mountPoint + "/.stats"));
    if (const int error = flushWithProgress(mountPoint); error == ECANCELED)
        logWarning("the engine of " + mountPoint +
                   " was told to stop without waiting; what it had staged uploads at the next "
                   "mount");
    else if (error != 0)
        logWarning("could not flush " + mountPoint + ": " + std::strerror(error));
    if (!Unmounter::unmount(mountPoint, force) && MountTable::isEngineMount(mountPoint)) {
        logError("could not unmount " + mountPoint + " (is it busy?)");
        return 1;
    }
    if (pid && !ProcessWatch::waitForExit(*pid, kDaemonExitTimeout))
        logWarning("the engine of " + mountPoint + " is still finishing");
    logInfo("unmounted " + mountPoint);
    return 0;
}
