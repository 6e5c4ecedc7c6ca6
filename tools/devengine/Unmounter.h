#pragma once

#include <string>

// Detaches a FUSE mount the way an unprivileged user can (fusermount3 -u), falling back to
// umount2 where no fusermount is installed.
class Unmounter {
public:
    // Lazy detaches even while files are open.
    static bool unmount(const std::string& mountPoint, bool lazy);
};
