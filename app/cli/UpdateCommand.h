#pragma once

#include <QStringList>

// `kelvane update [--check] [--install]`: asks the running instance to check for a newer build
// (or checks directly when none runs) and prints the outcome; --install has the instance
// download, verify and install it, after which Kelvane restarts. Returns the exit status: 0
// when up to date, available or restarting, 1 on a failure, 2 for bad arguments.
namespace UpdateCommand {
int run(const QStringList& arguments);
} // namespace UpdateCommand
