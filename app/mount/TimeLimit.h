#pragma once

#include "shared/KelvaneError.h"

#include <QCoroFuture>
#include <QCoroTask>
#include <QPromise>
#include <QTimer>
#include <chrono>
#include <exception>
#include <memory>
#include <optional>

// Runs an operation against a clock: whichever ends first decides. The operation cannot be
// cancelled, so on a time-out it runs on unobserved and its result is dropped.
namespace TimeLimit {

inline QString timedOutText() {
    return QStringLiteral("The request timed out.");
}

namespace detail {

template <typename T> struct Race {
    QPromise<void> done;
    std::optional<T> value;
    std::exception_ptr error;
    bool timedOut = false;
    Race() { done.start(); }
    bool settled() const { return done.future().isFinished(); }
};

template <typename T>
QCoro::Task<void> observe(QCoro::Task<T> operation, std::shared_ptr<Race<T>> race) {
    std::optional<T> value;
    std::exception_ptr error;
    try {
        value.emplace(co_await operation);
    } catch (...) {
        error = std::current_exception();
    }
    if (race->settled())
        co_return;
    race->value = std::move(value);
    race->error = error;
    race->done.finish();
}

} // namespace detail

// The operation's value or error, or TransportError("The request timed out.") after the limit.
template <typename T>
QCoro::Task<T> run(QCoro::Task<T> operation, std::chrono::milliseconds limit) {
    auto race = std::make_shared<detail::Race<T>>();
    QTimer::singleShot(limit, [race] {
        if (race->settled())
            return;
        race->timedOut = true;
        race->done.finish();
    });
    detail::observe(std::move(operation), race);
    QFuture<void> ended = race->done.future();
    co_await ended;
    if (race->timedOut)
        throw TransportError(timedOutText());
    if (race->error)
        std::rethrow_exception(race->error);
    co_return std::move(*race->value);
}

} // namespace TimeLimit
