#pragma once

#include <chrono>
#include <httplib.h>

class EventHub;

// GET /api/events: a server-sent event stream per client, kept open until the client leaves,
// the admin API closes the streams, or the server stops.
class EventRoutes {
public:
    static constexpr std::chrono::seconds kKeepAliveInterval{15};

    explicit EventRoutes(EventHub& hub) : hub_(hub) {}

    void install(httplib::Server& server);

private:
    void open(const httplib::Request& request, httplib::Response& response);

    EventHub& hub_;
};
