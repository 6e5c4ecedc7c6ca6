#include "tools/devengine/MetaUrl.h"

#include <filesystem>

std::optional<MetaUrl> MetaUrl::parse(const std::string& text, std::string* problem) {
    const auto fail = [problem](const std::string& why) {
        if (problem)
            *problem = why;
        return std::nullopt;
    };
    const auto schemeEnd = text.find("://");
    if (schemeEnd == std::string::npos)
        return fail("meta URL \"" + text + "\" has no scheme; expected file:///FOLDER");
    const std::string scheme = text.substr(0, schemeEnd);
    if (scheme != "file")
        return fail("meta URL scheme \"" + scheme +
                    "\" is not supported by this engine; expected file:///FOLDER");
    std::string rest = text.substr(schemeEnd + 3);
    if (rest.rfind("localhost/", 0) == 0)
        rest.erase(0, 9);
    if (rest.empty() || rest[0] != '/')
        return fail("meta URL \"" + text + "\" does not name an absolute folder");
    std::string folder = std::filesystem::path(rest).lexically_normal().string();
    while (folder.size() > 1 && folder.back() == '/')
        folder.pop_back();
    return MetaUrl(folder);
}

std::string MetaUrl::volumeName() const {
    const std::string name = std::filesystem::path(folder_).filename().string();
    return name.empty() ? "juicefs" : name;
}
