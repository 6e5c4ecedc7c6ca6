#pragma once

#include <QList>
#include <QNetworkRequest>
#include <QPointer>
#include <QUrl>
#include <chrono>
#include <memory>
#include <vector>

class QNetworkAccessManager;
class QNetworkReply;
class TransportError;

// The extension's own session for presigned transfers: long time-outs, no response cache,
// and up to 32 connections to one host, spread over several network managers because one
// opens at most 6 per host. Once invalidated it cancels what runs and refuses new requests.
// Main thread only.
class TransferSession {
public:
    static constexpr std::chrono::seconds kTimeout{3600};
    static constexpr int kMaxConnectionsPerHost = 32;
    static constexpr int kConnectionsPerManager = 6;

    TransferSession();
    ~TransferSession();
    TransferSession(const TransferSession&) = delete;
    TransferSession& operator=(const TransferSession&) = delete;

    // A request with the session's time-out and no caching.
    static QNetworkRequest request(const QUrl& url);
    // The same with a time-out of its own.
    static QNetworkRequest request(const QUrl& url, std::chrono::milliseconds timeout);
    // A reply's network failure with Qt's own text (a time-out or the session's end says so).
    TransportError failureOf(const QNetworkReply& reply) const;
    // What a transfer fails with once the session is invalidated.
    static TransportError cancelled();
    // The manager with the fewest running transfers, or cancelled() thrown once invalidated.
    // A request made on it must be tracked at once, so the next choice counts it.
    QNetworkAccessManager& requireManager();
    // The same; nothing after invalidate().
    QNetworkAccessManager* manager();
    // Keeps the reply so invalidate() can cancel it.
    void track(QNetworkReply* reply);
    // Cancels every running transfer and refuses new ones.
    void invalidateAndCancel();
    bool isInvalidated() const { return invalidated_; }
    int managerCount() const { return int(managers_.size()); }

private:
    std::vector<std::unique_ptr<QNetworkAccessManager>> managers_;
    QList<QPointer<QNetworkReply>> replies_;
    bool invalidated_ = false;
};
