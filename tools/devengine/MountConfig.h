#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Everything a mount needs, resolved from the command line.
struct MountConfig {
    std::string metaUrl;
    std::string backingFolder;
    std::string volumeName;
    std::string displayName; // the -o volname=..., shown in the log only
    std::string mountPoint;
    std::string cacheDir;
    std::string logPath;
    std::uint64_t cacheSizeMiB = 100 * 1024;
    std::uint64_t blockSize = 4 << 20;
    double uploadBytesPerSecond = 0; // 0 = unlimited
    double uploadDelaySeconds = 0;
    double attrTimeout = 1;
    double entryTimeout = 1;
    double negativeTimeout = 0;
    std::vector<std::string> fuseOptions; // handed to libfuse as they are
    bool background = false;
};
