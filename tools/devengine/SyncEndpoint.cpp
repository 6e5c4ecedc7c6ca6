#include "tools/devengine/SyncEndpoint.h"

#include "tools/devengine/MetaUrl.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>

namespace {

int hexValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

bool hasControlCharacter(const std::string& text) {
    for (const unsigned char c : text)
        if (c < 0x20 || c == 0x7f)
            return true;
    return false;
}

// The text in double quotes with control characters escaped, as Go's %q writes it, so a log
// line stays one line.
std::string quoted(const std::string& text) {
    std::string out = "\"";
    for (const unsigned char c : text) {
        if (c == '\n')
            out += "\\n";
        else if (c == '"' || c == '\\')
            out += std::string("\\") + static_cast<char>(c);
        else if (c < 0x20 || c == 0x7f) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\x%02x", c);
            out += escaped;
        } else
            out += static_cast<char>(c);
    }
    return out + "\"";
}

struct Url {
    std::string scheme;
    std::string host;
    std::string path;
};

// Scheme, host and decoded path, split as Go's url.Parse splits them.
std::optional<Url> parseUrl(const std::string& text, std::string& problem) {
    if (hasControlCharacter(text)) {
        problem = "parse " + quoted(text) + ": net/url: invalid control character in URL";
        return std::nullopt;
    }
    std::string rest = text.substr(0, text.find('#'));
    rest = rest.substr(0, rest.find('?'));
    Url url;
    const auto schemeEnd = rest.find("://");
    url.scheme = rest.substr(0, schemeEnd);
    rest.erase(0, schemeEnd + 3);
    const auto pathStart = rest.find('/');
    std::string authority = rest.substr(0, pathStart);
    if (const auto at = authority.rfind('@'); at != std::string::npos)
        authority.erase(0, at + 1); // credentials of object stores; a volume has none
    const auto host = SyncEndpoint::unescape(authority);
    const auto path =
        SyncEndpoint::unescape(pathStart == std::string::npos ? "" : rest.substr(pathStart));
    if (!host || !path) {
        problem = "parse " + quoted(text) + ": invalid URL escape";
        return std::nullopt;
    }
    url.host = *host;
    url.path = *path;
    return url;
}

std::string normalFolder(const std::string& path) {
    return std::filesystem::path(path).lexically_normal().string();
}

} // namespace

std::optional<std::string> SyncEndpoint::unescape(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%') {
            out += text[i];
            continue;
        }
        const int high = i + 2 < text.size() ? hexValue(text[i + 1]) : -1;
        const int low = high >= 0 ? hexValue(text[i + 2]) : -1;
        if (low < 0)
            return std::nullopt;
        out += static_cast<char>(high * 16 + low);
        i += 2;
    }
    return out;
}

std::optional<SyncEndpoint> SyncEndpoint::resolve(const std::string& text, std::string& problem) {
    SyncEndpoint side;
    side.trailingSlash = !text.empty() && text.back() == '/';
    std::string url = text;
    if (text.find("://") == std::string::npos) {
        // A plain path with a colon is an SFTP address to the real client.
        if (text.find(':') != std::string::npos) {
            problem = "storage \"sftp\" is not supported by this engine";
            return std::nullopt;
        }
        url = "file://" + std::filesystem::absolute(text).lexically_normal().string();
        if (side.trailingSlash && url.back() != '/')
            url += '/';
    }
    const auto parsed = parseUrl(url, problem);
    if (!parsed)
        return std::nullopt;
    if (parsed->scheme == "file") {
        side.folder = normalFolder(parsed->path);
        return side;
    }
    if (parsed->scheme != "jfs") {
        problem = "storage \"" + parsed->scheme + "\" is not supported by this engine";
        return std::nullopt;
    }
    side.volume = parsed->host;
    const char* metaUrl = side.volume.empty() ? nullptr : std::getenv(side.volume.c_str());
    if (!metaUrl || !*metaUrl) {
        problem = "no meta URL for volume \"" + side.volume + "\": set the environment variable " +
                  side.volume;
        return std::nullopt;
    }
    const auto meta = MetaUrl::parse(metaUrl, &problem);
    if (!meta)
        return std::nullopt;
    side.volumeRoot = meta->folder();
    // Normalised as an absolute path first, so ".." cannot climb out of the volume.
    side.folder = normalFolder(meta->folder() + normalFolder("/" + parsed->path));
    return side;
}
