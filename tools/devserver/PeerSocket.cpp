#include "tools/devserver/PeerSocket.h"

#include <arpa/inet.h>
#include <cerrno>
#include <dirent.h>
#include <netinet/in.h>
#include <string>
#include <sys/socket.h>
#include <unistd.h>

namespace {

bool sameEndpoint(const sockaddr_in& address, const std::string& ip, int port) {
    char text[INET_ADDRSTRLEN] = {};
    inet_ntop(AF_INET, &address.sin_addr, text, sizeof text);
    return ntohs(address.sin_port) == port && ip == text;
}

bool belongsTo(int fd, const httplib::Request& request) {
    sockaddr_in peer{};
    socklen_t length = sizeof peer;
    if (getpeername(fd, reinterpret_cast<sockaddr*>(&peer), &length) != 0 ||
        peer.sin_family != AF_INET || !sameEndpoint(peer, request.remote_addr, request.remote_port))
        return false;
    if (request.local_port <= 0)
        return true;
    sockaddr_in local{};
    length = sizeof local;
    return getsockname(fd, reinterpret_cast<sockaddr*>(&local), &length) == 0 &&
           sameEndpoint(local, request.local_addr, request.local_port);
}

} // namespace

PeerSocket PeerSocket::of(const httplib::Request& request) {
    DIR* dir = opendir("/proc/self/fd");
    if (!dir)
        return PeerSocket(-1);
    int found = -1;
    while (const dirent* entry = readdir(dir)) {
        char* end = nullptr;
        const long fd = std::strtol(entry->d_name, &end, 10);
        if (end != entry->d_name && *end == '\0' && fd != dirfd(dir) &&
            belongsTo(static_cast<int>(fd), request)) {
            found = static_cast<int>(fd);
            break;
        }
    }
    closedir(dir);
    return PeerSocket(found);
}

bool PeerSocket::peerHasClosed() const {
    if (fd_ < 0)
        return false;
    char byte = 0;
    const ssize_t n = recv(fd_, &byte, 1, MSG_PEEK | MSG_DONTWAIT);
    return n == 0 || (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR);
}

void PeerSocket::cut() const {
    if (fd_ >= 0)
        shutdown(fd_, SHUT_RDWR);
}
