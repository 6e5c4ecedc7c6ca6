#include "tools/devengine/SyncCommand.h"

#include "tools/devengine/EngineLog.h"
#include "tools/devengine/MetricsServer.h"
#include "tools/devengine/SyncEndpoint.h"
#include "tools/devengine/TreeSync.h"
#include "tools/devengine/Units.h"

#include <cstdlib>
#include <filesystem>
#include <unistd.h>

namespace {

constexpr unsigned kDefaultThreads = 10;

std::optional<TreeSync::Options> optionsFrom(const CommandLine& line, std::string& problem) {
    TreeSync::Options options;
    options.threads = static_cast<unsigned>(std::strtoul(
        line.valueOr("threads", std::to_string(kDefaultThreads)).c_str(), nullptr, 10));
    options.update = line.flag("update");
    options.forceUpdate = line.flag("force-update");
    options.dirs = line.flag("dirs");
    options.perms = line.flag("perms");
    options.dryRun = line.flag("dry");
    if (const auto limit = line.value("bwlimit")) {
        const auto rate = Units::mbpsToBytesPerSecond(*limit);
        if (!rate) {
            problem = "invalid --bwlimit " + *limit;
            return std::nullopt;
        }
        options.bytesPerSecond = *rate;
    }
    if (options.threads == 0) {
        problem = "--threads must be at least 1";
        return std::nullopt;
    }
    return options;
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
    const auto source = SyncEndpoint::resolve(line.positionals()[0], problem);
    const auto destination =
        source ? SyncEndpoint::resolve(line.positionals()[1], problem) : std::nullopt;
    if (!options || !source || !destination) {
        logFatal(problem);
        return 1;
    }
    if (!std::filesystem::is_directory(*source)) {
        logFatal("source " + *source + " is not a folder");
        return 1;
    }
    SyncCounters counters;
    MetricsServer metrics([&counters] { return counters.prometheusText(::getpid()); });
    if (const auto address = line.value("metrics"); address && !metrics.start(*address, problem)) {
        logFatal(problem);
        return 1;
    }
    logInfo("Syncing from " + *source + " to " + *destination);
    const bool ok = TreeSync(*source, *destination, *options, counters).run();
    logInfo("Found: " + std::to_string(counters.scanned) + ", copied: " +
            std::to_string(counters.copied) + " (" + Units::humanBytes(counters.copiedBytes) +
            "), skipped: " + std::to_string(counters.skipped) +
            ", failed: " + std::to_string(counters.failed));
    if (!ok) {
        logFatal("failed to handle " + std::to_string(counters.failed) + " objects");
        return 1;
    }
    return 0;
}
