// The engine's command line, split at NUL bytes, as the application (with server-sent tuning)
// hands it over; every value also goes through the unit readers directly. A line that cannot
// be served must come back as a problem, never as an exception or undefined behaviour.
#include "fuzz/FuzzInput.h"
#include "tools/devengine/EngineLog.h"
#include "tools/devengine/MountCommand.h"
#include "tools/devengine/UmountCommand.h"
#include "tools/devengine/Units.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    FuzzInput::useScratchHome();
    EngineLog::instance().setStderr(false);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::vector<std::string> args = FuzzInput::arguments(data, size);
    std::string problem;
    const auto config =
        MountCommand::configFrom(CommandLine::parse(args, MountCommand::optionTable()), problem);
    FuzzInput::require(config.has_value() == problem.empty(), "a refused line says why");
    for (const std::string& arg : args) {
        if (const auto seconds = Units::parseSeconds(arg)) {
            FuzzInput::require(*seconds >= 0 && *seconds <= Units::kMaxSeconds,
                               "durations stay within the clock's range");
            Units::toNanoseconds(*seconds);
        }
        if (const auto mib = Units::parseMiB(arg)) {
            FuzzInput::require(*mib <= Units::kMaxCacheMiB, "cache sizes stay within 1 PiB");
            Units::humanBytes(*mib << 20);
        }
        Units::mbpsToBytesPerSecond(arg);
    }
    const std::string statsText(reinterpret_cast<const char*>(data), size);
    UmountCommand::daemonPid(statsText);
    UmountCommand::backlog(statsText);
    return 0;
}
