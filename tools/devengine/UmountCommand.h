#pragma once

#include "tools/devengine/CommandLine.h"

#include <optional>
#include <string>
#include <sys/types.h>
#include <vector>

// `juicefs umount [--force] MOUNTPOINT`: has the daemon upload what is staged, detaches the
// mount and waits for the daemon to finish.
class UmountCommand {
public:
    static OptionTable optionTable();
    static int run(const std::vector<std::string>& args);
    // The daemon's process id as its .stats file reports it.
    static std::optional<pid_t> daemonPid(const std::string& statsText);

private:
    static void flush(const std::string& mountPoint);
};
