#pragma once

#include <optional>
#include <string>

// Where one side of `juicefs sync` lives on disk. "jfs://VOLUME/path" names a volume whose
// meta URL is in the environment variable VOLUME (so it never shows on the command line);
// "file:///path" and plain paths are local folders.
class SyncEndpoint {
public:
    static std::optional<std::string> resolve(const std::string& text, std::string& problem);
};
