#pragma once

#include "tools/devengine/CommandLine.h"

#include <cstdint>
#include <optional>
#include <string>
#include <sys/types.h>
#include <vector>

// `juicefs umount [--force] MOUNTPOINT`: has the daemon upload what is staged (printing the
// backlog while it waits), detaches the mount and waits for the daemon to finish.
// Exit codes: 0 unmounted; 1 not mounted, busy or a bad command line; 2 the mount's engine is
// gone or does not answer (detach it with fusermount3 -uz, or pass --force).
class UmountCommand {
public:
    static constexpr int kEngineGone = 2;

    static OptionTable optionTable();
    static int run(const std::vector<std::string>& args);
    // The daemon's process id as its .stats file reports it.
    static std::optional<pid_t> daemonPid(const std::string& statsText);
    struct Backlog {
        std::uint64_t blocks = 0;
        std::uint64_t bytes = 0;
        std::uint64_t sentBytes = 0; // the engine's running PUT total
    };
    // What a .stats text reports as staged, if it names it.
    static std::optional<Backlog> backlog(const std::string& statsText);

private:
    static int flushWithProgress(const std::string& mountPoint);
    static int detachGone(const std::string& mountPoint, const std::string& why, bool force);
};
