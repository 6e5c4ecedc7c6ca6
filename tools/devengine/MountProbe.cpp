#include "tools/devengine/MountProbe.h"

#include <cerrno>
#include <condition_variable>
#include <cstring>
#include <memory>
#include <mutex>
#include <sys/statvfs.h>
#include <thread>

namespace MountProbe {

namespace {

struct Shared {
    std::mutex mutex;
    std::condition_variable done;
    bool answered = false;
    int error = 0;
};

} // namespace

Result check(const std::string& mountPoint, std::chrono::milliseconds limit) {
    auto shared = std::make_shared<Shared>();
    std::thread([shared, mountPoint] {
        // statfs always reaches the engine; a stat may be answered from the attribute cache.
        struct statvfs st {};
        const int error = ::statvfs(mountPoint.c_str(), &st) == 0 ? 0 : errno;
        std::lock_guard lock(shared->mutex);
        shared->answered = true;
        shared->error = error;
        shared->done.notify_all();
    }).detach();
    std::unique_lock lock(shared->mutex);
    if (!shared->done.wait_for(lock, limit, [&] { return shared->answered; }))
        return {Answer::noAnswer, 0};
    // A failure for another reason (a permission) still got an answer from the engine.
    if (shared->error == ENOTCONN || shared->error == ECONNABORTED || shared->error == EIO)
        return {Answer::notConnected, shared->error};
    return {Answer::alive, shared->error};
}

std::string describe(const Result& result, std::chrono::milliseconds limit) {
    if (result.answer == Answer::noAnswer)
        return "does not answer within " +
               std::to_string(std::chrono::duration_cast<std::chrono::seconds>(limit).count()) +
               " s";
    return std::strerror(result.error);
}

} // namespace MountProbe
