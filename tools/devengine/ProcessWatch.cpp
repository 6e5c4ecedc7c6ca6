#include "tools/devengine/ProcessWatch.h"

#include <cerrno>
#include <poll.h>
#include <sys/syscall.h>
#include <unistd.h>

bool ProcessWatch::waitForExit(pid_t pid, std::chrono::milliseconds timeout) {
    const int fd = static_cast<int>(::syscall(SYS_pidfd_open, pid, 0));
    if (fd < 0)
        return errno == ESRCH;
    pollfd watch{fd, POLLIN, 0};
    int polled = 0;
    do
        polled = ::poll(&watch, 1, static_cast<int>(timeout.count()));
    while (polled < 0 && errno == EINTR);
    ::close(fd);
    return polled > 0;
}
