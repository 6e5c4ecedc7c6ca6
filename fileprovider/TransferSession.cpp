#include "fileprovider/TransferSession.h"

#include "shared/KelvaneError.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <algorithm>

TransferSession::TransferSession() {
    const int managers =
        (kMaxConnectionsPerHost + kConnectionsPerManager - 1) / kConnectionsPerManager;
    for (int i = 0; i < managers; ++i) {
        auto manager = std::make_unique<QNetworkAccessManager>();
        manager->setCache(nullptr);
        managers_.push_back(std::move(manager));
    }
}

TransferSession::~TransferSession() {
    invalidateAndCancel();
}

QNetworkRequest TransferSession::request(const QUrl& url) {
    QNetworkRequest request(url);
    request.setTransferTimeout(int(std::chrono::milliseconds(kTimeout).count()));
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute,
                         QNetworkRequest::AlwaysNetwork);
    request.setAttribute(QNetworkRequest::CacheSaveControlAttribute, false);
    return request;
}

QNetworkRequest TransferSession::request(const QUrl& url, std::chrono::milliseconds timeout) {
    QNetworkRequest r = request(url);
    r.setTransferTimeout(int(timeout.count()));
    return r;
}

TransportError TransferSession::failureOf(const QNetworkReply& reply) const {
    if (invalidated_)
        return cancelled();
    // Qt reports its own time-out as a cancellation; say what happened.
    if (reply.error() == QNetworkReply::OperationCanceledError)
        return TransportError(QStringLiteral("The request timed out."), reply.error());
    return TransportError(reply.errorString(), reply.error());
}

TransportError TransferSession::cancelled() {
    return TransportError(QStringLiteral("The transfer was cancelled."),
                          QNetworkReply::OperationCanceledError);
}

QNetworkAccessManager& TransferSession::requireManager() {
    QNetworkAccessManager* chosen = manager();
    if (!chosen)
        throw cancelled();
    return *chosen;
}

QNetworkAccessManager* TransferSession::manager() {
    if (invalidated_)
        return nullptr;
    // The least busy, the first of equals: transfers one after the other reuse one warm
    // connection, transfers at once spread over the managers' connections.
    std::vector<int> running(managers_.size(), 0);
    for (const QPointer<QNetworkReply>& reply : std::as_const(replies_)) {
        if (!reply || reply->isFinished())
            continue;
        for (size_t i = 0; i < managers_.size(); ++i) {
            if (reply->manager() == managers_[i].get())
                ++running[i];
        }
    }
    return managers_[std::min_element(running.begin(), running.end()) - running.begin()].get();
}

void TransferSession::track(QNetworkReply* reply) {
    replies_.removeIf([](const QPointer<QNetworkReply>& r) { return r.isNull(); });
    replies_.append(reply);
}

void TransferSession::invalidateAndCancel() {
    invalidated_ = true;
    const auto running = replies_;
    replies_.clear();
    for (const QPointer<QNetworkReply>& reply : running) {
        if (reply)
            reply->abort();
    }
}
