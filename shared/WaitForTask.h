#pragma once

#include <QCoroTask>
#include <QEventLoop>
#include <exception>
#include <optional>

// Runs a coroutine to its end on a nested event loop and returns its result, rethrowing what
// it threw. (QCoro's own waitFor never returns when the task throws.)
namespace WaitForTask {

namespace detail {
template <typename T>
QCoro::Task<> settle(QCoro::Task<T> task, std::optional<T>& result, std::exception_ptr& error,
                     bool& done, QEventLoop& loop) {
    try {
        result.emplace(co_await task);
    } catch (...) {
        error = std::current_exception();
    }
    done = true;
    loop.quit();
}

inline QCoro::Task<> settleVoid(QCoro::Task<> task, std::exception_ptr& error, bool& done,
                                QEventLoop& loop) {
    try {
        co_await task;
    } catch (...) {
        error = std::current_exception();
    }
    done = true;
    loop.quit();
}
} // namespace detail

template <typename T> T run(QCoro::Task<T>&& task) {
    QEventLoop loop;
    std::optional<T> result;
    std::exception_ptr error;
    bool done = false;
    auto settling = detail::settle(std::move(task), result, error, done, loop);
    if (!done)
        loop.exec();
    if (error)
        std::rethrow_exception(error);
    return std::move(*result);
}

inline void run(QCoro::Task<>&& task) {
    QEventLoop loop;
    std::exception_ptr error;
    bool done = false;
    auto settling = detail::settleVoid(std::move(task), error, done, loop);
    if (!done)
        loop.exec();
    if (error)
        std::rethrow_exception(error);
}

} // namespace WaitForTask
