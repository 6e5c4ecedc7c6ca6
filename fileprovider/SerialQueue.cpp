#include "fileprovider/SerialQueue.h"

#include <future>
#include <pthread.h>

SerialQueue::SerialQueue(QString label) : label_(std::move(label)) {
    thread_ = std::thread([this] { run(); });
    // The kernel keeps 15 bytes of a thread name; enough to tell queues apart in a debugger.
    pthread_setname_np(thread_.native_handle(), label_.toUtf8().left(15).constData());
}

SerialQueue::~SerialQueue() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_one();
    thread_.join();
}

void SerialQueue::async(std::function<void()> job) {
    {
        std::lock_guard lock(mutex_);
        jobs_.push_back(std::move(job));
    }
    wake_.notify_one();
}

void SerialQueue::sync(const std::function<void()>& job) {
    if (isCurrent()) {
        job();
        return;
    }
    std::promise<void> done;
    async([&job, &done] {
        try {
            job();
            done.set_value();
        } catch (...) {
            done.set_exception(std::current_exception());
        }
    });
    done.get_future().get();
}

bool SerialQueue::isCurrent() const {
    return std::this_thread::get_id() == thread_.get_id();
}

void SerialQueue::run() {
    for (;;) {
        std::function<void()> job;
        {
            std::unique_lock lock(mutex_);
            wake_.wait(lock, [this] { return stopping_ || !jobs_.empty(); });
            if (jobs_.empty())
                return;
            job = std::move(jobs_.front());
            jobs_.pop_front();
        }
        // One failing job must not take the queue (and every later job) down with it.
        try {
            job();
        } catch (...) {
        }
    }
}
