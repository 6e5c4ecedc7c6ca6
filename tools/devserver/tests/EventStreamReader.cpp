#include "tools/devserver/tests/EventStreamReader.h"

#include "tools/devserver/tests/HttpProbe.h"

#include <QDeadlineTimer>
#include <QEventLoop>
#include <QTimer>

EventStreamReader::EventStreamReader(HttpProbe& probe) {
    QNetworkRequest request = probe.request("/api/events", 0);
    request.setRawHeader("Accept", "text/event-stream");
    reply_.reset(probe.network().get(request));
    QObject::connect(reply_.get(), &QNetworkReply::metaDataChanged, [this] { headers_ = true; });
    QObject::connect(reply_.get(), &QNetworkReply::readyRead,
                     [this] { received_ += reply_->readAll(); });
}

bool EventStreamReader::waitForHeaders() {
    return waitUntil([this] { return headers_ || reply_->isFinished(); }) && headers_;
}

bool EventStreamReader::waitForText(const QByteArray& text) {
    return waitUntil([&] { return received_.contains(text) || reply_->isFinished(); }) &&
           received_.contains(text);
}

bool EventStreamReader::waitForEnd() {
    return waitUntil([this] { return reply_->isFinished(); });
}

int EventStreamReader::status() const {
    return reply_->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
}

QByteArray EventStreamReader::contentType() const {
    return reply_->header(QNetworkRequest::ContentTypeHeader).toByteArray();
}

bool EventStreamReader::waitUntil(const std::function<bool()>& done) {
    const QDeadlineTimer deadline(kWaitMs);
    while (!done()) {
        if (deadline.hasExpired())
            return false;
        QEventLoop loop;
        QTimer::singleShot(int(deadline.remainingTime()), &loop, &QEventLoop::quit);
        QObject::connect(reply_.get(), &QNetworkReply::metaDataChanged, &loop, &QEventLoop::quit);
        QObject::connect(reply_.get(), &QNetworkReply::readyRead, &loop, &QEventLoop::quit);
        QObject::connect(reply_.get(), &QNetworkReply::finished, &loop, &QEventLoop::quit);
        loop.exec();
    }
    return true;
}
