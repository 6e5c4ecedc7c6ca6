#include "tools/devengine/SyncEndpoint.h"

#include "tools/devengine/MetaUrl.h"

#include <cstdlib>
#include <filesystem>

std::optional<std::string> SyncEndpoint::resolve(const std::string& text, std::string& problem) {
    const auto schemeEnd = text.find("://");
    if (schemeEnd == std::string::npos)
        return std::filesystem::absolute(text).lexically_normal().string();
    const std::string scheme = text.substr(0, schemeEnd);
    const std::string rest = text.substr(schemeEnd + 3);
    if (scheme == "file")
        return std::filesystem::path(rest).lexically_normal().string();
    if (scheme != "jfs") {
        problem = "storage \"" + scheme + "\" is not supported by this engine";
        return std::nullopt;
    }
    const std::string volume = rest.substr(0, rest.find('/'));
    const char* metaUrl = volume.empty() ? nullptr : std::getenv(volume.c_str());
    if (!metaUrl) {
        problem =
            "no meta URL for volume \"" + volume + "\": set the environment variable " + volume;
        return std::nullopt;
    }
    const auto meta = MetaUrl::parse(metaUrl, &problem);
    if (!meta)
        return std::nullopt;
    const std::string sub = rest.size() > volume.size() ? rest.substr(volume.size()) : "/";
    return std::filesystem::path(meta->folder() + sub).lexically_normal().string();
}
