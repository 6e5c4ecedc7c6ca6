#pragma once

// The terminal a command-line invocation writes to, if any.
namespace Terminal {

bool isTerminal(int fd);
// Columns of the terminal on fd; 80 when it does not say.
int columns(int fd);

} // namespace Terminal
