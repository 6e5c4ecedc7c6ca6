#include "tools/devengine/SyncCommand.h"

#include "tools/devengine/EngineLog.h"
#include "tools/devengine/MetricsServer.h"
#include "tools/devengine/SyncEndpoint.h"
#include "tools/devengine/TreeSync.h"
#include "tools/devengine/Units.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <filesystem>
#include <unistd.h>

namespace {

constexpr unsigned long kDefaultThreads = 10;
constexpr unsigned long kMostThreads = 1024;
// The pacing the engine can honour: slower than this a single chunk would take days, faster
// is no limit at all. 0 means unlimited.
constexpr double kSlowestMbps = 0.001;
constexpr double kFastestMbps = 1e9;

std::optional<unsigned> threadsFrom(const CommandLine& line, std::string& problem) {
    const std::string text = line.valueOr("threads", std::to_string(kDefaultThreads));
    char* end = nullptr;
    errno = 0;
    const long value = std::strtol(text.c_str(), &end, 10);
    if (end == text.c_str() || *end || errno || value < 1 ||
        static_cast<unsigned long>(value) > kMostThreads) {
        problem = "invalid --threads " + text + " (1 to " + std::to_string(kMostThreads) + ")";
        return std::nullopt;
    }
    return static_cast<unsigned>(value);
}

std::optional<TreeSync::Options> optionsFrom(const CommandLine& line, std::string& problem) {
    TreeSync::Options options;
    const auto threads = threadsFrom(line, problem);
    if (!threads)
        return std::nullopt;
    options.threads = *threads;
    options.update = line.flag("update");
    options.forceUpdate = line.flag("force-update");
    options.dirs = line.flag("dirs");
    options.perms = line.flag("perms");
    options.dryRun = line.flag("dry");
    // Tests slow a sync down without a say in its command line.
    const char* slowdown = std::getenv("DEVENGINE_SYNC_BWLIMIT");
    std::optional<std::string> bwlimit = line.value("bwlimit");
    if (!bwlimit && slowdown && *slowdown)
        bwlimit = slowdown;
    if (const auto limit = bwlimit) {
        const auto rate = Units::mbpsToBytesPerSecond(*limit);
        const double mbps = rate ? *rate * 8 / 1e6 : -1;
        if (!rate || (mbps != 0 && !(mbps >= kSlowestMbps && mbps <= kFastestMbps))) {
            problem = "invalid --bwlimit " + *limit;
            return std::nullopt;
        }
        options.bytesPerSecond = *rate;
    }
    return options;
}

// The folder can be listed (existing and a folder is not enough: its mode may forbid it).
bool readableFolder(const std::string& path, std::string& problem) {
    std::error_code error;
    if (!std::filesystem::exists(path, error)) {
        problem = "source " + path + " does not exist";
        return false;
    }
    if (!std::filesystem::is_directory(path, error)) {
        problem = "source " + path + " is not a folder";
        return false;
    }
    DIR* folder = ::opendir(path.c_str());
    if (!folder) {
        problem = "cannot read source " + path + ": " + std::strerror(errno);
        return false;
    }
    ::closedir(folder);
    return true;
}

// A jfs destination needs its volume: the folder its meta URL names.
bool volumeExists(const SyncEndpoint& side, std::string& problem) {
    std::error_code error;
    if (side.volume.empty() || std::filesystem::is_directory(side.volumeRoot, error))
        return true;
    problem = "volume \"" + side.volume + "\" does not exist: no volume at " + side.volumeRoot +
              " (is it formatted?)";
    return false;
}

std::string summary(const SyncCounters& counters) {
    return "Found: " + std::to_string(counters.handled) +
           ", skipped: " + std::to_string(counters.skipped) +
           ", copied: " + std::to_string(counters.copied) + " (" +
           Units::humanBytes(counters.copiedBytes) + ")" +
           ", failed: " + std::to_string(counters.failed);
}

} // namespace

OptionTable SyncCommand::optionTable() {
    OptionTable table;
    table.booleans = {"update",       "force-update",    "dirs",          "perms",     "links",
                      "delete-src",   "delete-dst",      "check-all",     "check-new", "dry",
                      "no-https",     "inplace",         "verbose",       "debug",     "quiet",
                      "check-change", "match-full-path", "preserve-mtime"};
    table.valued = {"threads",       "metrics",  "bwlimit",  "exclude", "include", "list-threads",
                    "list-depth",    "start",    "end",      "limit",   "manager", "worker",
                    "storage-class", "max-size", "min-size", "max-age", "min-age", "consul"};
    table.aliases = {{"p", "threads"},
                     {"u", "update"},
                     {"f", "force-update"},
                     {"l", "links"},
                     {"v", "verbose"},
                     {"q", "quiet"},
                     {"deleteSrc", "delete-src"},
                     {"deleteDst", "delete-dst"}};
    table.minPositionals = 2;
    table.maxPositionals = 2;
    return table;
}

int SyncCommand::run(const std::vector<std::string>& args) {
    const CommandLine line = CommandLine::parse(args, optionTable());
    std::string problem;
    if (line.error()) {
        logFatal(*line.error() + "; usage: juicefs sync [options] SRC DST");
        return 1;
    }
    const auto options = optionsFrom(line, problem);
    if (!options) {
        logFatal(problem);
        return 1;
    }
    const std::string& sourceText = line.positionals()[0];
    const std::string& destinationText = line.positionals()[1];
    const auto endsWithSlash = [](const std::string& text) {
        return !text.empty() && text.back() == '/';
    };
    if (endsWithSlash(sourceText) != endsWithSlash(destinationText)) {
        logFatal("SRC and DST should both end with path separator or not!");
        return 1;
    }
    const auto source = SyncEndpoint::resolve(sourceText, problem);
    const auto destination =
        source ? SyncEndpoint::resolve(destinationText, problem) : std::nullopt;
    if (!source || !destination || !readableFolder(source->folder, problem) ||
        !volumeExists(*destination, problem)) {
        logFatal(problem);
        return 1;
    }
    SyncCounters counters;
    MetricsServer metrics([&counters] { return counters.prometheusText(::getpid()); });
    if (const auto address = line.value("metrics")) {
        // As the real client: a metrics address it cannot serve costs the metrics, not the sync.
        if (metrics.start(*address, problem))
            logInfo("metrics server listening on " + *address);
        else
            logError("listen on " + *address + " failed: " + problem);
    }
    logInfo("Syncing from " + source->folder + " to " + destination->folder);
    const bool ok = TreeSync(source->folder, destination->folder, *options, counters).run();
    logInfo(summary(counters));
    if (!ok) {
        logFatal("Failed to handle " + std::to_string(counters.failed) + " objects");
        return 1;
    }
    return 0;
}
