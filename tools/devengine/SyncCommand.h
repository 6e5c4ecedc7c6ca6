#pragma once

#include "tools/devengine/CommandLine.h"

#include <string>
#include <vector>

// `juicefs sync [options] SRC DST`, with progress served on --metrics ADDR:PORT.
class SyncCommand {
public:
    static OptionTable optionTable();
    static int run(const std::vector<std::string>& args);
};
