#pragma once

#include <optional>
#include <string>

// Paths given on the command line, made absolute without touching what they name beyond
// their parent folder (a mount point may be a mount whose engine is gone).
namespace LocalPath {

// Nothing for an empty text.
std::optional<std::string> resolve(const std::string& text);
// Why the path cannot name a file on Linux (a component over 255 bytes, the whole over 4095),
// or nothing.
std::optional<std::string> tooLong(const std::string& path);

// A long path cut in the middle for a message ("/home/me/…/end").
std::string shortened(const std::string& path, std::size_t most = 80);

} // namespace LocalPath
