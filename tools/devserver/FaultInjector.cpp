#include "tools/devserver/FaultInjector.h"

#include <chrono>

void FaultInjector::add(const FaultRule& rule) {
    std::lock_guard lock(mutex_);
    rules_.push_back(rule);
}

void FaultInjector::clear() {
    std::lock_guard lock(mutex_);
    rules_.clear();
    mostHeld_ = held_;
}

std::optional<FaultRule> FaultInjector::take(const std::string& method, const std::string& path) {
    std::lock_guard lock(mutex_);
    for (auto it = rules_.begin(); it != rules_.end(); ++it) {
        if (!it->matches(method, path))
            continue;
        const FaultRule rule = *it;
        if (it->count > 0 && --it->count == 0)
            rules_.erase(it);
        return rule;
    }
    return std::nullopt;
}

bool FaultInjector::waitDelay(int delayMs) {
    std::unique_lock lock(mutex_);
    mostHeld_ = std::max(mostHeld_, ++held_);
    wake_.wait_for(lock, std::chrono::milliseconds(delayMs), [this] { return shuttingDown_; });
    --held_;
    return !shuttingDown_;
}

void FaultInjector::defer(const void* request, const FaultRule& rule) {
    std::lock_guard lock(mutex_);
    deferred_[request] = rule;
}

std::optional<FaultRule> FaultInjector::takeDeferred(const void* request) {
    std::lock_guard lock(mutex_);
    const auto it = deferred_.find(request);
    if (it == deferred_.end())
        return std::nullopt;
    FaultRule rule = it->second;
    deferred_.erase(it);
    return rule;
}

int FaultInjector::mostHeldAtOnce() {
    std::lock_guard lock(mutex_);
    return mostHeld_;
}

void FaultInjector::shutdown() {
    {
        std::lock_guard lock(mutex_);
        shuttingDown_ = true;
    }
    wake_.notify_all();
}
