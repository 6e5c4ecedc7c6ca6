#include "tools/devengine/MountTable.h"

#include <fstream>
#include <sstream>

std::vector<MountTable::Entry> MountTable::read(const std::string& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return parse(text.str());
}

// Fields: id parent major:minor root mount-point options [optional...] - type source super.
std::vector<MountTable::Entry> MountTable::parse(const std::string& text) {
    std::vector<Entry> entries;
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line)) {
        std::istringstream fields(line);
        std::vector<std::string> parts;
        for (std::string part; fields >> part;)
            parts.push_back(part);
        std::size_t dash = 6;
        while (dash < parts.size() && parts[dash] != "-")
            ++dash;
        if (parts.size() < 5 || dash + 2 >= parts.size())
            continue;
        entries.push_back({decode(parts[4]), decode(parts[dash + 1]), decode(parts[dash + 2])});
    }
    return entries;
}

std::optional<MountTable::Entry> MountTable::find(const std::string& mountPoint) {
    std::optional<Entry> found;
    for (auto& entry : read())
        if (entry.mountPoint == mountPoint)
            found = std::move(entry);
    return found;
}

bool MountTable::isEngineMount(const std::string& mountPoint) {
    const auto entry = find(mountPoint);
    return entry && entry->fsType == kFsType;
}

// The kernel writes blanks, tabs, newlines and backslashes as three-digit octal escapes.
std::string MountTable::decode(const std::string& field) {
    const auto isOctal = [](char c) { return c >= '0' && c <= '7'; };
    std::string out;
    for (std::size_t i = 0; i < field.size(); ++i) {
        if (field[i] == '\\' && i + 3 < field.size() && isOctal(field[i + 1]) &&
            isOctal(field[i + 2]) && isOctal(field[i + 3])) {
            out.push_back(static_cast<char>(std::stoi(field.substr(i + 1, 3), nullptr, 8)));
            i += 3;
        } else {
            out.push_back(field[i]);
        }
    }
    return out;
}
