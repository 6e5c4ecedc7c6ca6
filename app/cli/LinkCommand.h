#pragma once

#include <QByteArrayList>

// `kelvane link PATH…`: the web link of each file or folder inside a drive, one per line, by
// the file-manager menu's rules, so a link can go into a chat from a shell. Paths (or file://
// URIs) that have none are named on standard error. Exit 1 when none resolves, 2 without paths.
namespace LinkCommand {
int run(const QByteArrayList& paths);
} // namespace LinkCommand
