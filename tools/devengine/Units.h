#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>

// Values as JuiceFS writes them on its command line.
namespace Units {

// The longest duration the client accepts (Go's time.Duration: 2^63 - 1 nanoseconds).
constexpr double kMaxSeconds = 9223372036.0;
// The largest cache anyone could have: 1 PiB.
constexpr std::uint64_t kMaxCacheMiB = std::uint64_t{1} << 30;

// A Go-style duration ("30s", "1m30s", "250ms", "1h") or a plain number of seconds, at most
// kMaxSeconds.
std::optional<double> parseSeconds(const std::string& text);

// A size in MiB, optionally with a binary suffix ("1024", "512M", "2G", "1T"), at most
// kMaxCacheMiB.
std::optional<std::uint64_t> parseMiB(const std::string& text);

// Seconds as a clock duration, clamped to [0, kMaxSeconds] so the conversion cannot overflow.
std::chrono::nanoseconds toNanoseconds(double seconds);

// Megabits per second, as --upload-limit and --bwlimit take them, to bytes per second.
std::optional<double> mbpsToBytesPerSecond(const std::string& text);

// A byte count for people ("1.5 MiB").
std::string humanBytes(std::uint64_t bytes);

} // namespace Units
