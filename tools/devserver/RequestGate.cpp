#include "tools/devserver/RequestGate.h"

#include "tools/devserver/FaultInjector.h"
#include "tools/devserver/HttpJson.h"
#include "tools/devserver/PeerSocket.h"
#include "tools/devserver/Workspace.h"

namespace {

using Handled = httplib::Server::HandlerResponse;

bool startsWith(const std::string& text, const std::string& prefix) {
    return text.compare(0, prefix.size(), prefix) == 0;
}

bool isUnder(const std::string& path, const std::string& folder) {
    return path == folder || startsWith(path, folder + "/");
}

bool isLoopback(const std::string& address) {
    return startsWith(address, "127.") || address == "::1" || startsWith(address, "::ffff:127.");
}

} // namespace

httplib::Server::HandlerResponse RequestGate::handle(const httplib::Request& request,
                                                     httplib::Response& response) {
    if (isUnder(request.path, "/admin")) {
        if (isLoopback(request.remote_addr))
            return Handled::Unhandled;
        HttpJson::sendError(response, 403, "The admin API answers loopback clients only");
        return Handled::Handled;
    }
    if (applyFault(request, response))
        return Handled::Handled;
    if (isUnder(request.path, "/api") && request.path != "/api/auth/login" &&
        !workspace_.userForToken(HttpJson::bearerToken(request))) {
        HttpJson::sendError(response, 401, "Unauthorized");
        return Handled::Handled;
    }
    return Handled::Unhandled;
}

std::optional<qint64> RequestGate::cutAfterBytes(const httplib::Request& request) {
    if (!request.has_header(kCutAfterMarker))
        return std::nullopt;
    return std::stoll(request.get_header_value(kCutAfterMarker));
}

bool RequestGate::applyFault(const httplib::Request& request, httplib::Response& response) {
    const auto fault = faults_.take(request.method, request.path);
    if (!fault)
        return false;
    const bool stopping = fault->delayMs > 0 && !faults_.waitDelay(fault->delayMs);
    if (fault->cut || stopping) {
        PeerSocket::of(request).cut();
        // Never sent (the connection is gone); tells the request log what happened.
        response.set_header(kCutMarker, "1");
        return true;
    }
    if (fault->status == 0) {
        if (fault->cutAfterBytes > 0)
            const_cast<httplib::Request&>(request).set_header(kCutAfterMarker,
                                                              std::to_string(fault->cutAfterBytes));
        return false;
    }
    if (request.method == "PUT" && startsWith(request.path, "/objects/")) {
        faults_.defer(&request, *fault); // answered by the route once it has read the body
        return false;
    }
    // The HTTP library would otherwise cut the fault's body to the request's Range.
    const_cast<httplib::Request&>(request).ranges.clear();
    response.status = fault->status;
    response.set_content(fault->body, fault->contentType);
    if (!fault->location.empty())
        response.set_header("Location", fault->location);
    return true;
}
