#pragma once

#include <QByteArray>
#include <QString>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// What the harnesses share: the input as the types the parsers take, a file holding it for
// the readers that open a path, and a scratch home so no harness touches the user's files.
namespace FuzzInput {

// A copy, so reads past the end are caught even where Qt would tolerate raw data.
QByteArray bytes(const std::uint8_t* data, std::size_t size);

// The input split at NUL bytes, as a program's argument list (a trailing NUL ends in an
// empty argument, as `prog a ""` would).
std::vector<std::string> arguments(const std::uint8_t* data, std::size_t size);

// A path whose file holds exactly these bytes (one in-memory file, rewritten on each call).
QString fileHolding(const QByteArray& content);

// Points HOME at a fresh folder under TMPDIR (or /tmp); call once from LLVMFuzzerInitialize.
void useScratchHome();

// Ends the run as a crash when a property of the parser does not hold.
void require(bool condition, const char* what);

} // namespace FuzzInput
