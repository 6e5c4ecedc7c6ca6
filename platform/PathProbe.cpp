#include "platform/PathProbe.h"

#include <condition_variable>
#include <cstdlib>
#include <dirent.h>
#include <functional>
#include <memory>
#include <mutex>
#include <sys/stat.h>
#include <thread>

namespace PathProbe {

namespace {

template <typename T> struct Pending {
    std::mutex lock;
    std::condition_variable done;
    QList<std::optional<T>> results;
    bool finished = false;
};

// Runs look() on each path on a detached thread; what has not been looked at by the deadline
// stays empty.
template <typename T>
QList<std::optional<T>> lookWithin(const QList<QByteArray>& paths,
                                   std::function<std::optional<T>(const QByteArray&)> look,
                                   std::chrono::milliseconds limit) {
    auto pending = std::make_shared<Pending<T>>();
    pending->results.resize(paths.size());
    std::thread([pending, paths, look] {
        for (qsizetype i = 0; i < paths.size(); ++i) {
            std::optional<T> value = look(paths.at(i));
            std::lock_guard guard(pending->lock);
            pending->results[i] = std::move(value);
        }
        std::lock_guard guard(pending->lock);
        pending->finished = true;
        pending->done.notify_all();
    }).detach();
    std::unique_lock guard(pending->lock);
    pending->done.wait_for(guard, limit, [&] { return pending->finished; });
    return pending->results;
}

} // namespace

QList<std::optional<Status>> statusOf(const QList<QByteArray>& paths,
                                      std::chrono::milliseconds limit) {
    return lookWithin<Status>(
        paths,
        [](const QByteArray& path) -> std::optional<Status> {
            struct stat info {};
            if (::lstat(path.constData(), &info) != 0)
                return std::nullopt;
            return Status{info.st_dev, S_ISDIR(info.st_mode), S_ISLNK(info.st_mode)};
        },
        limit);
}

QList<std::optional<dev_t>> devicesOf(const QList<QByteArray>& paths,
                                      std::chrono::milliseconds limit) {
    return lookWithin<dev_t>(
        paths,
        [](const QByteArray& path) -> std::optional<dev_t> {
            struct stat info {};
            if (::stat(path.constData(), &info) != 0)
                return std::nullopt;
            return info.st_dev;
        },
        limit);
}

QList<std::optional<QByteArray>> realPathsOf(const QList<QByteArray>& paths,
                                             std::chrono::milliseconds limit) {
    return lookWithin<QByteArray>(
        paths,
        [](const QByteArray& path) -> std::optional<QByteArray> {
            char* resolved = ::realpath(path.constData(), nullptr);
            if (!resolved)
                return std::nullopt;
            QByteArray result(resolved);
            std::free(resolved);
            return result;
        },
        limit);
}

std::optional<QList<QByteArray>> namesIn(const QByteArray& folder,
                                         std::chrono::milliseconds limit) {
    const auto listed = lookWithin<QList<QByteArray>>(
        {folder},
        [](const QByteArray& path) -> std::optional<QList<QByteArray>> {
            DIR* dir = ::opendir(path.constData());
            if (!dir)
                return std::nullopt;
            QList<QByteArray> names;
            while (const dirent* entry = ::readdir(dir)) {
                const QByteArray name(entry->d_name);
                if (name != "." && name != "..")
                    names.append(name);
            }
            ::closedir(dir);
            return names;
        },
        limit);
    return listed.value(0);
}

} // namespace PathProbe
