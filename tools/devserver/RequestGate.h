#pragma once

#include <QtGlobal>
#include <httplib.h>
#include <optional>

class FaultInjector;
class Workspace;

// Runs before any route: keeps the admin API to loopback peers, applies injected faults and
// requires a known bearer token on the API (sign-in excepted).
class RequestGate {
public:
    // Set on the response of a request whose connection a fault cut.
    static constexpr auto kCutMarker = "X-Kelvane-Cut";
    // Set on a request whose answer a fault cuts after some body bytes (the number).
    static constexpr auto kCutAfterMarker = "X-Kelvane-Cut-After";

    // How many body bytes the request's answer may send before its connection is cut;
    // nothing when no fault limits it.
    static std::optional<qint64> cutAfterBytes(const httplib::Request& request);

    RequestGate(const Workspace& workspace, FaultInjector& faults)
        : workspace_(workspace), faults_(faults) {}

    httplib::Server::HandlerResponse handle(const httplib::Request& request,
                                            httplib::Response& response);

private:
    // True when the fault answered the request (or cut it) and routing must stop.
    bool applyFault(const httplib::Request& request, httplib::Response& response);

    const Workspace& workspace_;
    FaultInjector& faults_;
};
