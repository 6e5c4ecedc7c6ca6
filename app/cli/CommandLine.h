#pragma once

#include <QStringList>

// Dispatches `kelvane <command> …` for scripting and headless use; returns the exit status.
namespace CommandLine {
int run(const QStringList& arguments);
} // namespace CommandLine
