#pragma once

#include "app/mount/EngineInstaller.h"
#include "app/mount/MountOptions.h"
#include "tests/support/WaitUntil.h"

#include <QCoreApplication>
#include <QCoroTask>
#include <QDeadlineTimer>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QTimer>
#include <chrono>
#include <exception>
#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>

// Shared helpers of the mount subsystem's tests.
namespace MountTestKit {

using namespace std::chrono_literals;

inline bool waitUntil(const std::function<bool()>& condition,
                      std::chrono::milliseconds limit = 30s) {
    return ::waitUntil(condition, limit);
}

namespace detail {
template <typename T> struct Outcome {
    std::optional<T> value;
    std::exception_ptr error;
    bool done = false;
};
template <> struct Outcome<void> {
    std::exception_ptr error;
    bool done = false;
};
template <typename T>
QCoro::Task<void> capture(QCoro::Task<T> task, std::shared_ptr<Outcome<T>> out) {
    try {
        if constexpr (std::is_void_v<T>)
            co_await task;
        else
            out->value.emplace(co_await task);
    } catch (...) {
        out->error = std::current_exception();
    }
    out->done = true;
}
} // namespace detail

// The task's value (or its exception, rethrown); std::runtime_error when it has not finished
// within the limit.
template <typename T> T await(QCoro::Task<T> task, std::chrono::milliseconds limit = 60s) {
    auto out = std::make_shared<detail::Outcome<T>>();
    detail::capture(std::move(task), out);
    if (!waitUntil([&] { return out->done; }, limit))
        throw std::runtime_error("the task did not finish in time");
    if (out->error)
        std::rethrow_exception(out->error);
    if constexpr (!std::is_void_v<T>)
        return std::move(*out->value);
}

// The stand-in engine built beside the test executables.
inline QString standInEngine() {
    return QCoreApplication::applicationDirPath() + QStringLiteral("/kelvane-standin-engine");
}

// Copies a program to the private engine location (~/.kelvane/bin/juicefs), mode 0755.
inline void installEngine(const QString& program) {
    const QString target = EngineInstaller::installLocation();
    QDir().mkpath(QFileInfo(target).path());
    QFile::remove(target);
    if (!QFile::copy(program, target))
        throw std::runtime_error("cannot copy the engine into the test home");
    QFile::setPermissions(target, QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                      QFileDevice::ExeOwner | QFileDevice::ReadGroup |
                                      QFileDevice::ExeGroup | QFileDevice::ReadOther |
                                      QFileDevice::ExeOther);
}

// Each stand-in engine invocation so far, as its argument list.
inline QList<QStringList> engineCalls() {
    QFile file(QDir::homePath() + QStringLiteral("/standin-engine.calls"));
    QList<QStringList> calls;
    if (!file.open(QIODevice::ReadOnly))
        return calls;
    for (const QByteArray& line : file.readAll().split('\n')) {
        if (!line.isEmpty())
            calls.append(QString::fromUtf8(line).split(QLatin1Char('\t')));
    }
    return calls;
}

// Quick polls, no system engines, and FUSE taken as present (the checks use stand-in files),
// for tests that never attach a real drive.
inline MountOptions quickOptions() {
    MountOptions options;
    options.pollTick = 20ms;
    options.pollLimit = 300ms;
    options.cloudStatsLimit = 500ms;
    options.systemEngineLocations = {};
    options.fuseDevice = QStringLiteral("/dev/null");
    options.fusermountLocations = {QStringLiteral("/usr/bin/true")};
    return options;
}

} // namespace MountTestKit
