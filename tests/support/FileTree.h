#pragma once

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <system_error>
#include <vector>

// Folder trees for copy tests, handled as bytes (std::filesystem on Linux), so names that are
// not UTF-8 survive the round trip that a QString would lose.
namespace FileTree {

struct Entry {
    std::string content;
    std::filesystem::file_time_type mtime;
};
using Tree = std::map<std::string, Entry>;

// Names that trip careless copiers: blanks, a line feed, a leading "-", bytes that are not
// UTF-8, URL metacharacters, non-ASCII letters and a name near the 255-byte limit.
inline const std::vector<std::string>& oddNames() {
    static const std::vector<std::string> names = {
        "plain",
        "with space",
        "line\nfeed",
        "-leading-dash",
        "not-utf8-\xff\xfe",
        "caf\xc3\xa9 \xc3\xbcml\xc3\xa4ut",
        "100% #1 ?query&x=y",
        "quote\"s 'and' \\back",
        std::string(180, 'L'),
    };
    return names;
}

inline void writeBytes(const std::filesystem::path& path, const std::string& bytes) {
    std::filesystem::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

// `count` files under root in folders up to three deep, with odd names and deterministic
// contents of 0 to about 4 KiB (every 250th file 300 KiB), so 2,000 files make a few MB.
inline void writeOddTree(const std::filesystem::path& root, int count) {
    const auto& names = oddNames();
    std::uint32_t seed = 12345;
    const auto next = [&seed] {
        seed = seed * 1103515245u + 12345u;
        return seed >> 8;
    };
    for (int i = 0; i < count; ++i) {
        std::filesystem::path folder = root;
        const int depth = i % 4;
        for (int d = 0; d < depth; ++d)
            folder /=
                "dir " + names[(i / 4 + d) % names.size()].substr(0, 40) + " " + std::to_string(d);
        const std::string name = names[i % names.size()] + "-" + std::to_string(i);
        const std::size_t size = i % 250 == 7 ? 300 * 1024 : (i % 97 == 0 ? 0 : next() % 4096);
        std::string content(size, '\0');
        for (char& c : content)
            c = static_cast<char>(next());
        writeBytes(folder / name, content);
    }
}

// Every regular file under root: path relative to root → content and modification time.
inline Tree read(const std::filesystem::path& root) {
    Tree tree;
    std::error_code error;
    for (std::filesystem::recursive_directory_iterator it(root, error), end; !error && it != end;
         it.increment(error)) {
        if (!it->is_regular_file())
            continue;
        std::ifstream in(it->path(), std::ios::binary);
        std::string content((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        tree[std::filesystem::relative(it->path(), root).string()] = {std::move(content),
                                                                      it->last_write_time()};
    }
    return tree;
}

// The relative paths whose content differs between the trees, or that only one of them has.
inline std::vector<std::string> differences(const Tree& a, const Tree& b) {
    std::vector<std::string> out;
    for (const auto& [path, entry] : a) {
        const auto other = b.find(path);
        if (other == b.end() || other->second.content != entry.content)
            out.push_back(path);
    }
    for (const auto& [path, entry] : b)
        if (!a.count(path))
            out.push_back(path);
    return out;
}

} // namespace FileTree
