#pragma once

#include "tools/devserver/FaultRule.h"

#include <condition_variable>
#include <list>
#include <map>
#include <mutex>
#include <optional>

// The faults set through the admin API, consumed by the requests they match, in the order
// they were added.
class FaultInjector {
public:
    void add(const FaultRule& rule);
    void clear();

    // The first rule matching the request, its count used up by one.
    std::optional<FaultRule> take(const std::string& method, const std::string& path);

    // Holds the calling request for a rule's delay; false when the server stops meanwhile.
    bool waitDelay(int delayMs);
    void shutdown();
    // A rule's answer kept for a request whose route reads the body first: answered before
    // its body is read, a large upload meets a closed connection instead of the answer.
    void defer(const void* request, const FaultRule& rule);
    std::optional<FaultRule> takeDeferred(const void* request);
    // The most requests held by delays at one time since the start or the last clear(): what
    // a client really had in flight at once, which a test cannot tell from the answers.
    int mostHeldAtOnce();

private:
    std::mutex mutex_;
    std::condition_variable wake_;
    std::list<FaultRule> rules_;
    bool shuttingDown_ = false;
    std::map<const void*, FaultRule> deferred_;
    int held_ = 0;
    int mostHeld_ = 0;
};
