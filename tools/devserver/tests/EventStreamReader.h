#pragma once

#include <QByteArray>
#include <QNetworkReply>
#include <functional>
#include <memory>

class HttpProbe;

// One open GET /api/events request, read as the application's change listener reads it.
class EventStreamReader {
public:
    static constexpr int kWaitMs = 20'000;

    explicit EventStreamReader(HttpProbe& probe);

    // True once the answer's headers arrived, i.e. the server has registered the stream.
    bool waitForHeaders();
    bool waitForText(const QByteArray& text);
    bool waitForEnd();

    int status() const;
    QByteArray contentType() const;
    const QByteArray& received() const { return received_; }
    QNetworkReply::NetworkError error() const { return reply_->error(); }
    void abort() { reply_->abort(); }

private:
    // Runs the event loop, woken by the reply's signals, until done() or the deadline.
    bool waitUntil(const std::function<bool()>& done);

    std::unique_ptr<QNetworkReply> reply_;
    QByteArray received_;
    bool headers_ = false;
};
