#pragma once

#include "tools/devengine/StagingFormat.h"

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

// A staged file an earlier engine left behind, checked and matched to its backing file.
struct RecoveredFile {
    std::string id;
    int fd = -1; // the backing file, open for writing; the staging area takes it over
    StagingFormat::FileRecord record;
    std::vector<std::pair<std::uint64_t, std::uint64_t>> blocks; // index, bytes to upload
};

// Reads a volume's staging folder at mount time. Only committed blocks whose trailer and
// checksum hold are kept; working files (never acknowledged), damaged blocks and blocks
// without a record are removed and counted. A record finds its backing file by path, or,
// when that name now holds another file or none, by the file's identity anywhere in the volume.
class StagingRecovery {
public:
    struct Report {
        std::uint64_t files = 0;
        std::uint64_t blocks = 0;
        std::uint64_t bytes = 0;
        std::uint64_t damaged = 0;          // failed their length or checksum test
        std::uint64_t unfinished = 0;       // working files of writes never acknowledged
        std::uint64_t orphaned = 0;         // blocks without a valid record
        std::uint64_t renamed = 0;          // files found only by a search for their identity
        std::vector<std::string> lostPaths; // staged files whose backing file is gone
    };

    static std::vector<RecoveredFile> scan(const std::string& folder,
                                           const std::string& backingRoot, Report& report);

private:
    struct Found;
    static bool verifyBlock(const std::string& path, std::uint64_t index, std::uint64_t blockSize,
                            std::uint64_t& length);
    static int openBacking(const std::string& backingRoot, StagingFormat::FileRecord& record,
                           Report& report);
};
