#pragma once

#include <compare>
#include <sys/types.h>

// A backing file's identity; unlike its path it survives renames.
struct FileKey {
    dev_t dev = 0;
    ino_t ino = 0;
    auto operator<=>(const FileKey&) const = default;
};
