#pragma once

#include <string>

// One line per request on standard error. Only the method, the path (never the query or a
// header) and the outcome are written, so no token or password reaches the log.
namespace RequestLog {

void write(const std::string& method, const std::string& path, const std::string& outcome);
void write(const std::string& method, const std::string& path, int status);

} // namespace RequestLog
