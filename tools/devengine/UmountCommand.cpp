#include "tools/devengine/UmountCommand.h"

#include "tools/devengine/EngineLog.h"
#include "tools/devengine/MountTable.h"
#include "tools/devengine/ProcessWatch.h"
#include "tools/devengine/Unmounter.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <unistd.h>

namespace {

constexpr auto kDaemonExitTimeout = std::chrono::seconds(120);

std::string readAll(const std::string& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

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
    std::istringstream lines(statsText);
    for (std::string name, value; lines >> name >> value;)
        if (name == "juicefs_pid")
            return static_cast<pid_t>(std::stol(value));
    return std::nullopt;
}

// fsync on the mount's root makes the daemon upload everything staged before it answers.
void UmountCommand::flush(const std::string& mountPoint) {
    const int fd = ::open(mountPoint.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0 || ::fsync(fd) != 0)
        logWarning("could not flush " + mountPoint + ": " + std::strerror(errno));
    if (fd >= 0)
        ::close(fd);
}

int UmountCommand::run(const std::vector<std::string>& args) {
    const CommandLine line = CommandLine::parse(args, optionTable());
    if (line.error()) {
        logError(*line.error() + "; usage: juicefs umount [--force] MOUNTPOINT");
        return 1;
    }
    std::error_code ignored;
    const std::string mountPoint =
        std::filesystem::weakly_canonical(std::filesystem::absolute(line.positionals()[0]), ignored)
            .string();
    if (!MountTable::isEngineMount(mountPoint)) {
        logError(mountPoint + " is not mounted");
        return 1;
    }
    const auto pid = daemonPid(readAll(mountPoint + "/.stats"));
    flush(mountPoint);
    if (!Unmounter::unmount(mountPoint, line.flag("force"))) {
        logError("could not unmount " + mountPoint + " (is it busy?)");
        return 1;
    }
    if (pid && !ProcessWatch::waitForExit(*pid, kDaemonExitTimeout))
        logWarning("the engine of " + mountPoint + " is still finishing");
    logInfo("unmounted " + mountPoint);
    return 0;
}
