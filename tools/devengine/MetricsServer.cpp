#include "tools/devengine/MetricsServer.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

constexpr int kRequestTimeoutMs = 2000;

bool sendAll(int fd, const std::string& data) {
    for (std::size_t done = 0; done < data.size();) {
        const ssize_t n = ::send(fd, data.data() + done, data.size() - done, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

// The request's target, once its header has arrived.
std::string readTarget(int fd) {
    std::string request;
    char buffer[1024];
    while (request.find("\r\n\r\n") == std::string::npos && request.size() < 16384) {
        pollfd wait{fd, POLLIN, 0};
        if (::poll(&wait, 1, kRequestTimeoutMs) <= 0)
            return {};
        const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
        if (n <= 0)
            return {};
        request.append(buffer, static_cast<std::size_t>(n));
    }
    const auto first = request.find(' ');
    const auto second = request.find(' ', first + 1);
    if (first == std::string::npos || second == std::string::npos)
        return {};
    return request.substr(first + 1, second - first - 1);
}

} // namespace

MetricsServer::~MetricsServer() {
    stop();
}

bool MetricsServer::start(const std::string& address, std::string& problem) {
    const auto colon = address.rfind(':');
    std::string host = colon == std::string::npos ? "" : address.substr(0, colon);
    const int port = std::atoi(address.substr(colon == std::string::npos ? 0 : colon + 1).c_str());
    sockaddr_in where{};
    where.sin_family = AF_INET;
    where.sin_port = htons(static_cast<uint16_t>(port));
    if (host == "localhost")
        host = "127.0.0.1";
    if (!host.empty() && ::inet_pton(AF_INET, host.c_str(), &where.sin_addr) != 1) {
        problem = "invalid metrics address " + address;
        return false;
    }
    listenFd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const int yes = 1;
    ::setsockopt(listenFd_, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    socklen_t length = sizeof where;
    if (::bind(listenFd_, reinterpret_cast<sockaddr*>(&where), sizeof where) != 0 ||
        ::listen(listenFd_, 16) != 0 ||
        ::getsockname(listenFd_, reinterpret_cast<sockaddr*>(&where), &length) != 0 ||
        ::pipe2(wake_, O_CLOEXEC) != 0) {
        problem = "cannot serve metrics on " + address + ": " + std::strerror(errno);
        return false;
    }
    port_ = ntohs(where.sin_port);
    thread_ = std::thread([this] { serve(); });
    return true;
}

void MetricsServer::stop() {
    if (thread_.joinable()) {
        [[maybe_unused]] const ssize_t n = ::write(wake_[1], "x", 1);
        thread_.join();
    }
    for (int* fd : {&listenFd_, &wake_[0], &wake_[1]})
        if (*fd >= 0) {
            ::close(*fd);
            *fd = -1;
        }
}

void MetricsServer::serve() {
    for (;;) {
        pollfd waits[2] = {{listenFd_, POLLIN, 0}, {wake_[0], POLLIN, 0}};
        if (::poll(waits, 2, -1) < 0 && errno != EINTR)
            return;
        if (waits[1].revents)
            return;
        if (!(waits[0].revents & POLLIN))
            continue;
        const int client = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
        if (client >= 0) {
            answer(client);
            ::close(client);
        }
    }
}

void MetricsServer::answer(int client) const {
    const std::string target = readTarget(client);
    const bool metrics = target == "/metrics" || target.rfind("/metrics?", 0) == 0;
    const std::string body = metrics ? body_() : "not found\n";
    const std::string head = std::string("HTTP/1.1 ") + (metrics ? "200 OK" : "404 Not Found") +
                             "\r\nContent-Type: text/plain; version=0.0.4; charset=utf-8" +
                             "\r\nContent-Length: " + std::to_string(body.size()) +
                             "\r\nConnection: close\r\n\r\n";
    sendAll(client, head + body);
}
