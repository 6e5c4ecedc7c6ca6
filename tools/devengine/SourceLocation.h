#pragma once

#include <source_location>

// Where a log line was written. libstdc++'s std::source_location needs a builtin that
// clang 14 lacks; there the same two facts come from the older builtins.
#if defined(__cpp_lib_source_location)
using SourceLocation = std::source_location;
#else
class SourceLocation {
public:
    static constexpr SourceLocation current(const char* file = __builtin_FILE(),
                                            unsigned line = __builtin_LINE()) noexcept {
        SourceLocation where;
        where.file_ = file;
        where.line_ = line;
        return where;
    }
    constexpr const char* file_name() const noexcept { return file_; }
    constexpr unsigned line() const noexcept { return line_; }

private:
    const char* file_ = "";
    unsigned line_ = 0;
};
#endif
