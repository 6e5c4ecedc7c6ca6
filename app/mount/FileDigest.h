#pragma once

#include <QString>

// SHA-256 of a whole file through OpenSSL (which uses the CPU's SHA instructions).
// Blocking: call it off the main thread.
namespace FileDigest {

struct Result {
    QString hex;   // lower-case, 64 characters; empty on failure
    QString error; // the file system's text when the file could not be read
};

Result sha256(const QString& path);

} // namespace FileDigest
