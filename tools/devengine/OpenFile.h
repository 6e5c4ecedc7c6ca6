#pragma once

#include "tools/devengine/FileKey.h"

#include <string>

// What a FUSE file handle points at: a backing file, or a snapshot of the .stats text.
struct OpenFile {
    int fd = -1;
    FileKey key;
    bool stats = false;
    std::string text;
};
