#include "tools/devserver/EventHub.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <algorithm>

EventHub::StreamPtr EventHub::open() {
    auto stream = std::make_shared<Stream>();
    std::lock_guard lock(mutex_);
    stream->closed = shuttingDown_;
    streams_.push_back(stream);
    return stream;
}

void EventHub::release(const StreamPtr& stream) {
    std::lock_guard lock(mutex_);
    std::erase(streams_, stream);
}

EventHub::Next EventHub::next(Stream& stream, std::string& message,
                              std::chrono::milliseconds wait) {
    std::unique_lock lock(mutex_);
    wake_.wait_for(lock, wait, [&] { return stream.closed || !stream.pending.empty(); });
    if (!stream.pending.empty()) {
        message = std::move(stream.pending.front());
        stream.pending.pop_front();
        return Next::Message;
    }
    return stream.closed ? Next::Closed : Next::Idle;
}

int EventHub::publish(const std::string& event, const std::string& data) {
    const std::string message = format(event, data);
    int reached = 0;
    {
        std::lock_guard lock(mutex_);
        for (const StreamPtr& stream : streams_) {
            if (stream->closed)
                continue;
            stream->pending.push_back(message);
            ++reached;
        }
    }
    wake_.notify_all();
    return reached;
}

int EventHub::notifyChange(const QString& workspacePath) {
    const QJsonObject data{{"path", workspacePath}};
    return publish("file-change", QJsonDocument(data).toJson(QJsonDocument::Compact).toStdString());
}

int EventHub::closeAll() {
    int closed = 0;
    {
        std::lock_guard lock(mutex_);
        for (const StreamPtr& stream : streams_) {
            closed += stream->closed ? 0 : 1;
            stream->closed = true;
        }
    }
    wake_.notify_all();
    return closed;
}

void EventHub::shutdown() {
    {
        std::lock_guard lock(mutex_);
        shuttingDown_ = true;
    }
    closeAll();
}

int EventHub::openCount() const {
    std::lock_guard lock(mutex_);
    return static_cast<int>(std::count_if(streams_.begin(), streams_.end(),
                                          [](const StreamPtr& s) { return !s->closed; }));
}

std::string EventHub::format(const std::string& event, const std::string& data) {
    std::string message = "event: " + event + "\n";
    std::size_t start = 0;
    // A line feed inside the data would end the field early, so each line gets its own field.
    while (true) {
        const std::size_t end = data.find('\n', start);
        message += "data: " + data.substr(start, end - start) + "\n";
        if (end == std::string::npos)
            break;
        start = end + 1;
    }
    return message + "\n";
}
