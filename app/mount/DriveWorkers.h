#pragma once

#include <QThreadPool>
#include <QtConcurrent>

// Threads for work that touches a mounted drive (stat, marker files). A hung engine can stall
// one of them for good, so they are kept apart from the global pool, and on destruction a pool
// with a stuck thread is left behind instead of freezing its owner.
class DriveWorkers {
public:
    explicit DriveWorkers(int threads);
    ~DriveWorkers();
    DriveWorkers(const DriveWorkers&) = delete;
    DriveWorkers& operator=(const DriveWorkers&) = delete;

    // GCC 12 destroys a capturing lambda twice when it is a temporary inside a co_await
    // expression: keep the returned future in a named variable and await that.
    template <typename... Args> auto run(Args&&... job) {
        return QtConcurrent::run(pool_, std::forward<Args>(job)...);
    }

private:
    QThreadPool* pool_;
};
