#pragma once

#include <QString>

// Putting a program path into the command lines of the file managers' action formats.
namespace CommandQuoting {

// For POSIX shells and GLib's g_shell_parse_argv: '…' with each ' written as '\''.
QString shellWord(const QString& word);

// For a desktop entry's Exec key: the Exec quoting rules, then the string-value escapes.
QString desktopExecWord(const QString& word);

// A key-file string value: backslashes, newlines and tabs escaped.
QString keyFileValue(const QString& value);

// For the split-string form of /usr/bin/env (-S) on a #! line: '…' with \ and ' escaped.
QString envSplitWord(const QString& word);

// A #! line that runs kelvane-findersync with the words after it, no shell involved.
QString shebangRunning(const QString& program, const QString& words);

} // namespace CommandQuoting
