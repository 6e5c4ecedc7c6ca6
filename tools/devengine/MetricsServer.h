#pragma once

#include <functional>
#include <string>
#include <thread>

// A minimal HTTP/1.1 server that answers GET /metrics with Prometheus text, one connection
// at a time on its own thread.
class MetricsServer {
public:
    using Body = std::function<std::string()>;

    explicit MetricsServer(Body body) : body_(std::move(body)) {}
    ~MetricsServer();
    MetricsServer(const MetricsServer&) = delete;
    MetricsServer& operator=(const MetricsServer&) = delete;

    // "HOST:PORT" (HOST may be empty for every interface, or "localhost").
    bool start(const std::string& address, std::string& problem);
    void stop();
    int port() const { return port_; }

private:
    void serve();
    void answer(int client) const;

    Body body_;
    int listenFd_ = -1;
    int wake_[2] = {-1, -1};
    int port_ = 0;
    std::thread thread_;
};
