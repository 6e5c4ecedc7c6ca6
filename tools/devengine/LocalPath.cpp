#include "tools/devengine/LocalPath.h"

#include <climits>
#include <filesystem>

namespace LocalPath {

namespace fs = std::filesystem;

std::optional<std::string> resolve(const std::string& text) {
    if (text.empty())
        return std::nullopt;
    std::error_code failed;
    fs::path path = fs::absolute(fs::path(text), failed);
    if (failed)
        return std::nullopt;
    path = path.lexically_normal();
    if (!path.has_filename() && path != path.root_path())
        path = path.parent_path(); // "dir/" names dir
    if (path == path.root_path())
        return path.string();
    if (const fs::path whole = fs::weakly_canonical(path, failed); !failed && !whole.empty())
        return whole.string();
    // The last component does not answer (a dead mount): resolve only its parent.
    failed.clear();
    const fs::path parent = fs::weakly_canonical(path.parent_path(), failed);
    return (((failed || parent.empty()) ? path.parent_path() : parent) / path.filename()).string();
}

std::optional<std::string> tooLong(const std::string& path) {
    if (path.size() >= PATH_MAX)
        return "the path is " + std::to_string(path.size()) + " bytes long, more than " +
               std::to_string(PATH_MAX - 1);
    for (const auto& part : fs::path(path))
        if (part.string().size() > NAME_MAX)
            return "the name \"" + part.string().substr(0, 32) + "…\" is " +
                   std::to_string(part.string().size()) + " bytes long, more than " +
                   std::to_string(NAME_MAX);
    return std::nullopt;
}

std::string shortened(const std::string& path, std::size_t most) {
    if (path.size() <= most)
        return path;
    const std::size_t tail = most / 3;
    return path.substr(0, most - tail) + "…" + path.substr(path.size() - tail);
}

} // namespace LocalPath
