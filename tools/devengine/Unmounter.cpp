#include "tools/devengine/Unmounter.h"

#include "tools/devengine/ChildProcess.h"

#include <sys/mount.h>

bool Unmounter::unmount(const std::string& mountPoint, bool lazy) {
    if (const auto tool = ChildProcess::findTool({"fusermount3", "fusermount"})) {
        const auto status =
            ChildProcess::run(*tool, lazy ? std::vector<std::string>{"-u", "-z", mountPoint}
                                          : std::vector<std::string>{"-u", mountPoint});
        return status && *status == 0;
    }
    return ::umount2(mountPoint.c_str(), lazy ? MNT_DETACH : 0) == 0;
}
