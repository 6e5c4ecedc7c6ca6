#include "platform/Terminal.h"

#include <sys/ioctl.h>
#include <unistd.h>

namespace Terminal {

bool isTerminal(int fd) {
    return ::isatty(fd) == 1;
}

int columns(int fd) {
    winsize size{};
    if (::ioctl(fd, TIOCGWINSZ, &size) == 0 && size.ws_col > 0)
        return size.ws_col;
    return 80;
}

} // namespace Terminal
