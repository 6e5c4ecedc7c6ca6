#include "app/activity/SyncListener.h"

#include "app/api/APIClient.h"
#include "app/fileprovider-domain/FileProviderManager.h"
#include "shared/ConsoleLine.h"
#include "shared/KelvaneError.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>

namespace {

const QString kFileChange = QStringLiteral("file-change");
const QString kTag = QStringLiteral("SyncListener");

QStringView trimSpacesAndTabs(QStringView s) {
    while (!s.isEmpty() && (s.front() == ' ' || s.front() == '\t'))
        s = s.mid(1);
    while (!s.isEmpty() && (s.back() == ' ' || s.back() == '\t'))
        s.chop(1);
    return s;
}

} // namespace

SyncListener::SyncListener(APIClient& apiClient, FileProviderManager& fileProvider, QObject* parent)
    : SyncListener(apiClient, fileProvider, Options{}, parent) {}

SyncListener::SyncListener(APIClient& apiClient, FileProviderManager& fileProvider, Options options,
                           QObject* parent)
    : QObject(parent), apiClient_(apiClient), fileProvider_(fileProvider),
      options_(std::move(options)), throttle_(options_.minRefreshInterval, options_.clock) {
    reconnectTimer_.setSingleShot(true);
    connect(&reconnectTimer_, &QTimer::timeout, this, &SyncListener::start);
    connect(&throttle_, &RefreshThrottle::refresh, this, &SyncListener::onRefresh);
}

void SyncListener::start() {
    stop();
    const std::optional<QString> token = apiClient_.token();
    std::optional<QUrl> url;
    try {
        if (token)
            url = apiClient_.resolvedURL(QStringLiteral("events"));
    } catch (const KelvaneError&) {
        if (const auto base = apiClient_.baseURL()) {
            QString text = base->toString();
            if (!text.endsWith('/'))
                text += '/';
            ConsoleLine::print(kTag, QStringLiteral("failed to build events URL from: ") + text +
                                         QStringLiteral("events"));
            return;
        }
    }
    if (!token || !url) {
        ConsoleLine::print(kTag, QStringLiteral("skipping start — not logged in or no baseURL"));
        return;
    }

    QNetworkRequest request(*url);
    request.setRawHeader("Accept", "text/event-stream");
    request.setRawHeader("Authorization", "Bearer " + token->toUtf8());
    // The stream may stay silent for hours; only the server or the network ends it.
    request.setTransferTimeout(0);
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute,
                         QNetworkRequest::AlwaysNetwork);
    request.setAttribute(QNetworkRequest::CacheSaveControlAttribute, false);

    // A manager of its own per connection: nothing of an earlier stream is reused.
    network_ = new QNetworkAccessManager(this);
    reply_ = network_->get(request);
    connect(reply_, &QNetworkReply::readyRead, this, &SyncListener::onReadyRead);
    connect(reply_, &QNetworkReply::finished, this, &SyncListener::onFinished);
    connect(reply_, &QNetworkReply::metaDataChanged, this, [this] {
        if (reply_)
            emit streamOpened(reply_->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt());
    });
    ConsoleLine::print(kTag,
                       QStringLiteral("connected to ") + url->host() + QStringLiteral("/events"));
}

void SyncListener::stop() {
    reconnectTimer_.stop();
    if (reply_) {
        reply_->disconnect(this);
        reply_->abort();
    }
    releaseConnection();
}

void SyncListener::releaseConnection() {
    if (reply_)
        reply_->deleteLater();
    if (network_)
        network_->deleteLater();
    reply_.clear();
    network_.clear();
    decoder_.reset();
}

void SyncListener::onReadyRead() {
    if (!reply_)
        return;
    for (const QString& line : decoder_.feed(reply_->readAll()))
        handleEvent(line);
}

void SyncListener::onFinished() {
    if (!reply_)
        return;
    onReadyRead();
    releaseConnection();
    scheduleReconnect();
    emit streamClosed();
}

void SyncListener::handleEvent(const QString& line) {
    static const QString prefix = QStringLiteral("event:");
    if (!line.startsWith(prefix))
        return;
    if (trimSpacesAndTabs(QStringView(line).mid(prefix.size())) != kFileChange)
        return;
    emit fileChangeReceived();
    throttle_.request();
}

void SyncListener::onRefresh(bool debounced) {
    ConsoleLine::print(kTag, debounced ? QStringLiteral("file-change (debounced) → refresh")
                                       : QStringLiteral("file-change → refresh"));
    fileProvider_.refresh();
}

void SyncListener::scheduleReconnect() {
    reconnectTimer_.start(options_.reconnectDelay);
}
