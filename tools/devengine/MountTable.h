#pragma once

#include <optional>
#include <string>
#include <vector>

// The mounts of this process's namespace, from /proc/self/mountinfo.
class MountTable {
public:
    struct Entry {
        std::string mountPoint;
        std::string fsType;
        std::string source;
    };

    static std::vector<Entry> read(const std::string& path = "/proc/self/mountinfo");
    static std::vector<Entry> parse(const std::string& text);
    // The last (topmost) mount at exactly this path.
    static std::optional<Entry> find(const std::string& mountPoint);
    static bool isEngineMount(const std::string& mountPoint);

    static constexpr const char* kFsType = "fuse.juicefs";

private:
    static std::string decode(const std::string& field);
};
