#pragma once

#include "tools/devengine/CommandLine.h"

#include <cstdint>
#include <string>
#include <vector>

// `juicefs warmup [--threads N] PATH...`: reads every file under the paths through the mount,
// which fills the local cache, and prints what it read.
class WarmupCommand {
public:
    struct Result {
        std::uint64_t files = 0;
        std::uint64_t bytes = 0;
        std::uint64_t failures = 0;
    };

    static OptionTable optionTable();
    static int run(const std::vector<std::string>& args);
    static Result warm(const std::vector<std::string>& paths, unsigned threads);

private:
    static std::vector<std::string> filesUnder(const std::vector<std::string>& paths,
                                               std::uint64_t& failures);
    static bool readThrough(const std::string& file, std::uint64_t& bytes);
};
