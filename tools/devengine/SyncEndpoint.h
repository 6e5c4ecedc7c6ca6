#pragma once

#include <optional>
#include <string>

// Where one side of `juicefs sync` lives on disk, read the way the real client reads it: every
// side is a URL ("jfs://VOLUME/path", "file:///path", or a plain path that becomes a file URL),
// so "#" starts a fragment, "?" a query, "%XX" is decoded and control characters are refused.
// A jfs volume's meta URL comes from the environment variable named after the volume, so it
// never shows on the command line.
struct SyncEndpoint {
    // The folder the side names, with a trailing "/" when the argument had one.
    std::string folder;
    // For a jfs side: the volume's name and the folder that holds the volume.
    std::string volume;
    std::string volumeRoot;
    bool trailingSlash = false;

    static std::optional<SyncEndpoint> resolve(const std::string& text, std::string& problem);
    // The URL's path with its percent escapes decoded; nothing for a malformed escape.
    static std::optional<std::string> unescape(const std::string& text);
};
