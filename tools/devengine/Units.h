#pragma once

#include <cstdint>
#include <optional>
#include <string>

// Values as JuiceFS writes them on its command line.
namespace Units {

// A Go-style duration ("30s", "1m30s", "250ms", "1h") or a plain number of seconds.
std::optional<double> parseSeconds(const std::string& text);

// A size in MiB, optionally with a binary suffix ("1024", "512M", "2G", "1T").
std::optional<std::uint64_t> parseMiB(const std::string& text);

// Megabits per second, as --upload-limit and --bwlimit take them, to bytes per second.
std::optional<double> mbpsToBytesPerSecond(const std::string& text);

// A byte count for people ("1.5 MiB").
std::string humanBytes(std::uint64_t bytes);

} // namespace Units
