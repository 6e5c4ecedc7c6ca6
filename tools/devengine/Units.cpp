#include "tools/devengine/Units.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace Units {

namespace {

std::optional<double> parseNumber(const std::string& text, std::size_t& pos) {
    const char* begin = text.c_str() + pos;
    char* end = nullptr;
    const double value = std::strtod(begin, &end);
    if (end == begin || !std::isfinite(value) || value < 0)
        return std::nullopt;
    pos += static_cast<std::size_t>(end - begin);
    return value;
}

std::optional<double> unitSeconds(const std::string& unit) {
    if (unit == "ns")
        return 1e-9;
    if (unit == "us" || unit == "\xC2\xB5s")
        return 1e-6;
    if (unit == "ms")
        return 1e-3;
    if (unit == "s")
        return 1.0;
    if (unit == "m")
        return 60.0;
    if (unit == "h")
        return 3600.0;
    return std::nullopt;
}

} // namespace

std::optional<double> parseSeconds(const std::string& text) {
    if (text.empty())
        return std::nullopt;
    std::size_t pos = 0;
    double total = 0;
    while (pos < text.size()) {
        const auto number = parseNumber(text, pos);
        if (!number)
            return std::nullopt;
        std::size_t unitEnd = pos;
        while (unitEnd < text.size() && !(text[unitEnd] >= '0' && text[unitEnd] <= '9') &&
               text[unitEnd] != '.')
            ++unitEnd;
        const std::string unit = text.substr(pos, unitEnd - pos);
        if (unit.empty() && pos == text.size() && total == 0)
            return *number <= kMaxSeconds ? number : std::nullopt; // a bare number is seconds
        const auto scale = unitSeconds(unit);
        if (!scale)
            return std::nullopt;
        total += *number * *scale;
        if (!(total <= kMaxSeconds)) // also catches an overflow to infinity
            return std::nullopt;
        pos = unitEnd;
    }
    return total;
}

std::chrono::nanoseconds toNanoseconds(double seconds) {
    const double clamped = std::isnan(seconds) ? 0.0 : std::clamp(seconds, 0.0, kMaxSeconds);
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
        std::chrono::duration<double>(clamped));
}

std::optional<std::uint64_t> parseMiB(const std::string& text) {
    std::size_t pos = 0;
    const auto number = parseNumber(text, pos);
    if (!number)
        return std::nullopt;
    const std::string suffix = text.substr(pos);
    double mib = *number;
    if (suffix == "K" || suffix == "k")
        mib /= 1024;
    else if (suffix == "G" || suffix == "g")
        mib *= 1024;
    else if (suffix == "T" || suffix == "t")
        mib *= 1024 * 1024;
    else if (!suffix.empty() && suffix != "M" && suffix != "m")
        return std::nullopt;
    if (!(mib <= static_cast<double>(kMaxCacheMiB)))
        return std::nullopt;
    return static_cast<std::uint64_t>(mib);
}

std::optional<double> mbpsToBytesPerSecond(const std::string& text) {
    std::size_t pos = 0;
    const auto number = parseNumber(text, pos);
    if (!number || pos != text.size())
        return std::nullopt;
    return *number * 1e6 / 8;
}

std::string humanBytes(std::uint64_t bytes) {
    static const char* const units[] = {"B", "KiB", "MiB", "GiB", "TiB"};
    double value = static_cast<double>(bytes);
    int unit = 0;
    while (value >= 1024 && unit < 4) {
        value /= 1024;
        ++unit;
    }
    char text[32];
    if (unit == 0)
        std::snprintf(text, sizeof text, "%llu B", static_cast<unsigned long long>(bytes));
    else
        std::snprintf(text, sizeof text, "%.1f %s", value, units[unit]);
    return text;
}

} // namespace Units
