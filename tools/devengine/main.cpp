#include "tools/devengine/EngineLog.h"
#include "tools/devengine/MountCommand.h"
#include "tools/devengine/SyncCommand.h"
#include "tools/devengine/UmountCommand.h"
#include "tools/devengine/WarmupCommand.h"

#include <cstdio>
#include <set>
#include <string>
#include <vector>

namespace {

// The real client's first line: "juicefs version 1.3.1+" and its build.
constexpr const char* kVersionLine = "juicefs version 1.3.1+devengine.kelvane";

int usage(FILE* to) {
    std::fprintf(to,
                 "%s\n\nUSAGE:\n"
                 "  juicefs version\n"
                 "  juicefs mount [-d] [options] META-URL MOUNTPOINT\n"
                 "  juicefs umount [--force] MOUNTPOINT\n"
                 "  juicefs warmup [--threads N] PATH...\n"
                 "  juicefs sync [options] SRC DST\n",
                 kVersionLine);
    return to == stdout ? 0 : 1;
}

// Global options may precede the command; none of them changes what this engine does.
std::size_t skipGlobalOptions(const std::vector<std::string>& args) {
    static const std::set<std::string> globals = {
        "--verbose", "--debug", "-v", "--trace", "--quiet", "-q", "--no-agent", "--no-color"};
    std::size_t i = 0;
    while (i < args.size() && globals.count(args[i]))
        ++i;
    return i;
}

int run(const std::vector<std::string>& all) {
    const std::size_t first = skipGlobalOptions(all);
    if (first >= all.size())
        return usage(stdout);
    const std::string& command = all[first];
    const std::vector<std::string> rest(all.begin() + static_cast<long>(first) + 1, all.end());
    if (command == "version" || command == "--version" || command == "-V") {
        std::printf("%s\n", kVersionLine);
        return 0;
    }
    if (command == "mount")
        return MountCommand::run(rest);
    if (command == "umount")
        return UmountCommand::run(rest);
    if (command == "warmup")
        return WarmupCommand::run(rest);
    if (command == "sync")
        return SyncCommand::run(rest);
    if (command == "help" || command == "--help" || command == "-h")
        return usage(stdout);
    std::fprintf(stderr, "juicefs: unknown command \"%s\"\n", command.c_str());
    return usage(stderr);
}

} // namespace

// Nothing may end the engine with an uncaught exception: it ends with a FATAL line instead.
int main(int argc, char** argv) {
    try {
        return run(std::vector<std::string>(argv + 1, argv + argc));
    } catch (const std::exception& e) {
        logFatal(std::string("unexpected error: ") + e.what());
    } catch (...) {
        logFatal("unexpected error");
    }
    return 1;
}
