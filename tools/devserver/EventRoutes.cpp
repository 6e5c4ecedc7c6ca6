#include "tools/devserver/EventRoutes.h"

#include "tools/devserver/EventHub.h"
#include "tools/devserver/PeerSocket.h"

#include <memory>

namespace {

// How often a silent stream looks whether its client has gone.
constexpr std::chrono::milliseconds kPeerCheckInterval{250};
constexpr char kKeepAlive[] = ": keep-alive\n\n";

struct StreamState {
    EventHub::StreamPtr stream;
    PeerSocket peer;
    std::chrono::steady_clock::time_point lastWrite;
};

} // namespace

void EventRoutes::install(httplib::Server& server) {
    server.Get("/api/events", [this](const httplib::Request& request, httplib::Response& response) {
        open(request, response);
    });
}

void EventRoutes::open(const httplib::Request& request, httplib::Response& response) {
    auto state = std::make_shared<StreamState>(
        StreamState{hub_.open(), PeerSocket::of(request), std::chrono::steady_clock::now()});
    response.set_header("Cache-Control", "no-cache");
    EventHub& hub = hub_;
    response.set_chunked_content_provider(
        "text/event-stream",
        [state, &hub](size_t, httplib::DataSink& sink) {
            std::string message;
            switch (hub.next(*state->stream, message, kPeerCheckInterval)) {
            case EventHub::Next::Closed:
                sink.done();
                return true;
            case EventHub::Next::Message:
                state->lastWrite = std::chrono::steady_clock::now();
                return sink.write(message.data(), message.size());
            case EventHub::Next::Idle:
                break;
            }
            if (state->peer.peerHasClosed())
                return false;
            const auto now = std::chrono::steady_clock::now();
            if (now - state->lastWrite < kKeepAliveInterval)
                return true;
            state->lastWrite = now;
            return sink.write(kKeepAlive, sizeof kKeepAlive - 1);
        },
        [state, &hub](bool) { hub.release(state->stream); });
}
