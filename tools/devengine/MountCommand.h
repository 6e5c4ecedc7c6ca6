#pragma once

#include "tools/devengine/CommandLine.h"
#include "tools/devengine/MountConfig.h"
#include "tools/devengine/StagingFolder.h"

#include <optional>
#include <string>
#include <vector>

// `juicefs mount [options] META-URL MOUNTPOINT`.
class MountCommand {
public:
    static OptionTable optionTable();
    // Nothing when the line cannot be served; `problem` then holds the reason.
    static std::optional<MountConfig> configFrom(const CommandLine& line, std::string& problem);
    // The volume's staging folder, once the volume, mount point and cache folder check out.
    static std::optional<StagingFolder> prepare(const MountConfig& config, std::string& problem);
    static int run(const std::vector<std::string>& args);

private:
    static bool checkNames(const MountConfig& config, std::string& problem);
    static void applyFuseOptions(const CommandLine& line, MountConfig& config);
    static bool applyTuning(const CommandLine& line, MountConfig& config, std::string& problem);
};
