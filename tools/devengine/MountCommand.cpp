#include "tools/devengine/MountCommand.h"

#include "tools/devengine/EngineLog.h"
#include "tools/devengine/LocalPath.h"
#include "tools/devengine/MetaUrl.h"
#include "tools/devengine/MountDaemon.h"
#include "tools/devengine/MountProbe.h"
#include "tools/devengine/MountTable.h"
#include "tools/devengine/StagingFolder.h"
#include "tools/devengine/Units.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <sstream>

namespace {

constexpr auto kProbeLimit = std::chrono::seconds(5);
// Mbps: 0 is unlimited; below the floor one chunk would take days, above the ceiling the
// limit means nothing.
constexpr double kSlowestUploadMbps = 0.001;
constexpr double kFastestUploadMbps = 1e9;

// FUSE options Linux's libfuse understands; the rest of -o (macFUSE's local, iosize,
// daemon_timeout, volname, ...) is noted and dropped.
const std::set<std::string> kPassedFuseOptions = {
    "allow_other", "allow_root", "default_permissions", "ro", "rw", "noatime", "nosuid", "nodev",
    "noexec",      "dirsync"};

std::string defaultCacheDir() {
    const char* home = std::getenv("HOME");
    return std::string(home ? home : "") + "/.juicefs/cache";
}

} // namespace

OptionTable MountCommand::optionTable() {
    OptionTable table;
    table.booleans = {"background",      "cache-large-write", "fast-statfs",   "writeback",
                      "no-usage-report", "no-syslog",         "update-fstab",  "no-bgjob",
                      "read-only",       "enable-xattr",      "enable-ioctl",  "enable-cap",
                      "enable-selinux",  "no-posix-lock",     "no-bsd-lock",   "check-storage",
                      "debug",           "verbose",           "trace",         "quiet",
                      "no-color",        "no-agent",          "readdir-cache", "hide-internal",
                      "force",           "foreground"};
    table.valued = {"o",
                    "log",
                    "cache-dir",
                    "cache-size",
                    "upload-limit",
                    "download-limit",
                    "upload-delay",
                    "attr-cache",
                    "entry-cache",
                    "dir-entry-cache",
                    "negative-entry-cache",
                    "buffer-size",
                    "cache-items",
                    "free-space-ratio",
                    "get-timeout",
                    "put-timeout",
                    "max-fuse-io",
                    "max-readahead",
                    "max-uploads",
                    "max-deletes",
                    "open-cache",
                    "open-cache-limit",
                    "prefetch",
                    "skip-dir-mtime",
                    "skip-dir-nlink",
                    "subdir",
                    "heartbeat",
                    "backup-meta",
                    "io-retries",
                    "cache-mode",
                    "cache-partial-only",
                    "verify-cache-checksum",
                    "atime-mode",
                    "metrics",
                    "consul",
                    "custom-labels",
                    "bucket",
                    "storage-class"};
    table.aliases = {{"d", "background"}, {"v", "verbose"}, {"q", "quiet"}, {"f", "foreground"}};
    table.minPositionals = 2;
    table.maxPositionals = 2;
    return table;
}

void MountCommand::applyFuseOptions(const CommandLine& line, MountConfig& config) {
    for (const auto& group : line.values("o")) {
        std::istringstream items(group);
        for (std::string item; std::getline(items, item, ',');) {
            const std::string name = item.substr(0, item.find('='));
            if (name == "volname")
                config.displayName = item.substr(item.find('=') + 1);
            else if (kPassedFuseOptions.count(name) || name == "max_read")
                config.fuseOptions.push_back(item);
            else if (!item.empty())
                logInfo("FUSE option " + item + " does not apply on Linux; ignored");
        }
    }
    if (line.flag("read-only"))
        config.fuseOptions.push_back("ro");
}

bool MountCommand::applyTuning(const CommandLine& line, MountConfig& config, std::string& problem) {
    const auto seconds = [&](const char* name, double& into) {
        if (const auto text = line.value(name)) {
            const auto parsed = Units::parseSeconds(*text);
            if (!parsed)
                problem = std::string("invalid --") + name + " " + *text;
            else
                into = *parsed;
        }
    };
    seconds("attr-cache", config.attrTimeout);
    seconds("entry-cache", config.entryTimeout);
    seconds("negative-entry-cache", config.negativeTimeout);
    seconds("upload-delay", config.uploadDelaySeconds);
    // The environment stands in for a slow store where the caller cannot pass the option
    // (tests that run the whole application).
    auto limitText = line.value("upload-limit");
    if (const char* fromEnvironment = std::getenv("KELVANE_DEVENGINE_UPLOAD_LIMIT");
        !limitText && fromEnvironment && *fromEnvironment)
        limitText = std::string(fromEnvironment);
    if (const auto text = limitText) {
        const auto rate = Units::mbpsToBytesPerSecond(*text);
        const double mbps = rate ? *rate * 8 / 1e6 : -1;
        if (!rate || (mbps != 0 && (mbps < kSlowestUploadMbps || mbps > kFastestUploadMbps)))
            problem = "invalid --upload-limit " + *text;
        else
            config.uploadBytesPerSecond = *rate;
    }
    if (const auto text = line.value("cache-size")) {
        const auto mib = Units::parseMiB(*text);
        if (!mib)
            problem = "invalid --cache-size " + *text;
        else
            config.cacheSizeMiB = *mib;
    }
    return problem.empty();
}

std::optional<MountConfig> MountCommand::configFrom(const CommandLine& line, std::string& problem) {
    problem.clear();
    if (line.error()) {
        problem = *line.error() + "; usage: juicefs mount [options] META-URL MOUNTPOINT";
        return std::nullopt;
    }
    const auto meta = MetaUrl::parse(line.positionals()[0], &problem);
    if (!meta)
        return std::nullopt;
    MountConfig config;
    config.metaUrl = line.positionals()[0];
    config.backingFolder = meta->folder();
    config.volumeName = meta->volumeName();
    const auto mountPoint = LocalPath::resolve(line.positionals()[1]);
    if (!mountPoint) {
        problem = "invalid mount point \"" + line.positionals()[1] + "\"";
        return std::nullopt;
    }
    config.mountPoint = *mountPoint;
    const std::string cacheText = line.valueOr("cache-dir", defaultCacheDir());
    const auto cacheDir = LocalPath::resolve(cacheText);
    if (!cacheDir) {
        problem = "invalid --cache-dir \"" + cacheText + "\"";
        return std::nullopt;
    }
    config.cacheDir = *cacheDir;
    config.logPath = line.valueOr("log", EngineLog::defaultPath());
    config.background = line.flag("background");
    applyFuseOptions(line, config);
    if (!checkNames(config, problem) || !applyTuning(line, config, problem))
        return std::nullopt;
    return config;
}

bool MountCommand::checkNames(const MountConfig& config, std::string& problem) {
    if (const auto why = LocalPath::tooLong(config.mountPoint))
        problem =
            "mount point " + LocalPath::shortened(config.mountPoint) + " is too long: " + *why;
    else if (const auto cacheWhy = LocalPath::tooLong(config.cacheDir))
        problem = "invalid --cache-dir " + LocalPath::shortened(config.cacheDir) + ": " + *cacheWhy;
    else if (config.displayName.size() > NAME_MAX)
        problem = "volume name \"" + config.displayName.substr(0, 32) +
                  "…\" is too long: " + std::to_string(config.displayName.size()) +
                  " bytes, more than " + std::to_string(NAME_MAX);
    return problem.empty();
}

// Everything that can be known before the daemon starts is checked here, so that a mount
// that cannot work fails at once with its reason instead of after the readiness wait.
std::optional<StagingFolder> MountCommand::prepare(const MountConfig& config,
                                                   std::string& problem) {
    if (!std::filesystem::is_directory(config.backingFolder)) {
        problem =
            "volume folder " + config.backingFolder + " of " + config.metaUrl + " does not exist";
        return std::nullopt;
    }
    if (MountTable::isEngineMount(config.mountPoint)) {
        const auto probe = MountProbe::check(config.mountPoint, kProbeLimit);
        problem = probe.answer == MountProbe::Answer::alive
                      ? config.mountPoint + " is already a JuiceFS mount"
                      : "mount point " + config.mountPoint +
                            " is left from an engine that stopped (" +
                            MountProbe::describe(probe, kProbeLimit) +
                            "); detach it first with fusermount3 -uz " + config.mountPoint;
        return std::nullopt;
    }
    std::error_code failed;
    std::filesystem::create_directories(config.mountPoint, failed);
    if (!std::filesystem::is_directory(config.mountPoint)) {
        problem = "mount point " + config.mountPoint + " is not a folder" +
                  (failed ? " (" + failed.message() + ")" : std::string());
        return std::nullopt;
    }
    return StagingFolder::open(config.cacheDir, config.volumeName, config.backingFolder, problem);
}

int MountCommand::run(const std::vector<std::string>& args) {
    const CommandLine line = CommandLine::parse(args, optionTable());
    EngineLog::instance().setFile(line.valueOr("log", EngineLog::defaultPath()));
    std::string problem;
    const auto config = configFrom(line, problem);
    if (!config) {
        logFatal(problem);
        return 1;
    }
    for (const auto& ignored : line.ignored())
        logInfo("option --" + ignored + " is not modelled by this engine; ignored");
    auto folder = prepare(*config, problem);
    if (!folder) {
        logFatal(problem);
        return 1;
    }
    logInfo("Meta address: " + config->metaUrl);
    MountDaemon daemon(*config, std::move(*folder));
    return config->background ? daemon.runDetached() : daemon.runForeground();
}
