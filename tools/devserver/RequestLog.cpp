#include "tools/devserver/RequestLog.h"

#include <cstdio>

namespace RequestLog {

void write(const std::string& method, const std::string& path, const std::string& outcome) {
    // One call per line: stdio locks the stream, so lines from request threads never interleave.
    std::fprintf(stderr, "%s %s -> %s\n", method.c_str(), path.c_str(), outcome.c_str());
}

void write(const std::string& method, const std::string& path, int status) {
    write(method, path, std::to_string(status));
}

} // namespace RequestLog
