#pragma once

#include <QByteArrayList>
#include <QStringList>

// Dispatches `kelvane <command> …` for scripting and headless use; returns the exit status.
// rawArguments are the same arguments as bytes, for commands taking paths that need not be
// UTF-8.
namespace CommandLine {
int run(const QStringList& arguments, const QByteArrayList& rawArguments = {});
} // namespace CommandLine
