#pragma once

#include "tools/devengine/StagingArea.h"

#include <cstdint>
#include <string>

// The text of a mount's virtual ".stats" file: one "name value" line per metric, labels
// folded into the name as JuiceFS does (juicefs_object_request_data_bytes_PUT).
class StatsReport {
public:
    struct Inputs {
        StagingArea::Snapshot staging;
        std::uint64_t uploading = 0;
        std::uint64_t putBytes = 0;
        std::uint64_t putRequests = 0;
        std::uint64_t uploadFailures = 0;
        double uptimeSeconds = 0;
        long pid = 0;
    };

    static std::string render(const Inputs& in);
};
