#pragma once

#include <httplib.h>

// Request bodies the server accepts: object uploads stream to disk and may be as large as an
// object store takes in one PUT; every other body is read into memory and stays small.
namespace BodyLimit {

constexpr size_t kStreamedBytes = size_t(5) * 1024 * 1024 * 1024;
constexpr size_t kBufferedBytes = 64 * 1024 * 1024;

// True when the request announces a body too large for its route; it is then answered 413.
bool refuse(const httplib::Request& request, httplib::Response& response);

} // namespace BodyLimit
