#pragma once

#include <QString>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

// Fans server-sent events out to every open event stream. Each stream's request thread waits
// here for its next message.
class EventHub {
public:
    struct Stream {
        std::deque<std::string> pending;
        bool closed = false;
    };
    using StreamPtr = std::shared_ptr<Stream>;
    enum class Next { Message, Idle, Closed };

    StreamPtr open();
    void release(const StreamPtr& stream);

    // The stream's next formatted message, waiting at most `wait` for one.
    Next next(Stream& stream, std::string& message, std::chrono::milliseconds wait);

    // Each returns how many streams it reached.
    int publish(const std::string& event, const std::string& data);
    // The one call every change of a workspace file or folder goes through.
    int notifyChange(const QString& workspacePath);
    int closeAll();

    // Ends every stream and refuses new ones.
    void shutdown();
    int openCount() const;

    static std::string format(const std::string& event, const std::string& data);

private:
    mutable std::mutex mutex_;
    std::condition_variable wake_;
    std::vector<StreamPtr> streams_;
    bool shuttingDown_ = false;
};
