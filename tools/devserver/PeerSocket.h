#pragma once

#include <httplib.h>

// The accepted socket behind a request. The HTTP library does not hand it to handlers, so it
// is found by its addresses among the process's descriptors. Only valid on the request's own
// thread, which owns the connection until the handler and its content provider return.
class PeerSocket {
public:
    static PeerSocket of(const httplib::Request& request);

    bool isValid() const { return fd_ >= 0; }
    // True once the client has closed or reset its end.
    bool peerHasClosed() const;
    // Ends the connection in both directions, so the client sees it close with no answer.
    void cut() const;

private:
    explicit PeerSocket(int fd) : fd_(fd) {}
    int fd_ = -1;
};
