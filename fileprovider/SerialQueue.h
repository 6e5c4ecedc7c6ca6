#pragma once

#include <QString>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

// Runs jobs one after another, in the order they were queued, on one dedicated thread.
class SerialQueue {
public:
    explicit SerialQueue(QString label);
    // Runs whatever is still queued, then ends the thread.
    ~SerialQueue();
    SerialQueue(const SerialQueue&) = delete;
    SerialQueue& operator=(const SerialQueue&) = delete;

    void async(std::function<void()> job);
    // Waits for the job (and everything queued before it). Called from the queue's own thread
    // it runs the job at once instead of waiting on itself forever.
    void sync(const std::function<void()>& job);
    bool isCurrent() const;
    const QString& label() const { return label_; }

private:
    void run();

    QString label_;
    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<std::function<void()>> jobs_;
    bool stopping_ = false;
    std::thread thread_;
};
