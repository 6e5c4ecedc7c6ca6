#pragma once

#include "app/activity/EventStreamDecoder.h"
#include "app/activity/RefreshThrottle.h"

#include <QObject>
#include <QPointer>
#include <QTimer>

class APIClient;
class FileProviderManager;
class QNetworkAccessManager;
class QNetworkReply;

// Keeps one long-lived request open on the server's event stream and asks the file-provider
// domain to refresh when a file changes: at once after a quiet spell, else once at the end of
// the rate-limit window. A dropped stream is opened again after a pause; a deliberate stop()
// stays stopped until the next start(). Main thread only.
class SyncListener : public QObject {
    Q_OBJECT
public:
    struct Options {
        std::chrono::milliseconds minRefreshInterval = std::chrono::seconds(3);
        std::chrono::milliseconds reconnectDelay = std::chrono::seconds(3);
        RefreshThrottle::Clock clock;
    };

    SyncListener(APIClient& apiClient, FileProviderManager& fileProvider,
                 QObject* parent = nullptr);
    SyncListener(APIClient& apiClient, FileProviderManager& fileProvider, Options options,
                 QObject* parent = nullptr);

    // (Re)opens the stream on a fresh connection with the current address and token.
    void start();
    // Closes the stream, releases its connection and cancels a pending reconnect.
    void stop();

    bool isStreaming() const { return !reply_.isNull(); }
    bool isReconnectPending() const { return reconnectTimer_.isActive(); }
    const RefreshThrottle& throttle() const { return throttle_; }

signals:
    // The server answered the request with its headers.
    void streamOpened(int httpStatus);
    // The stream ended without a stop(); a reconnect is scheduled.
    void streamClosed();
    // A "file-change" event line arrived.
    void fileChangeReceived();

private:
    void handleEvent(const QString& line);
    void scheduleReconnect();
    // Drops the stream's reply and network manager (later, off their own signals).
    void releaseConnection();
    void onReadyRead();
    void onFinished();
    void onRefresh(bool debounced);

    APIClient& apiClient_;
    FileProviderManager& fileProvider_;
    Options options_;
    QPointer<QNetworkAccessManager> network_;
    QPointer<QNetworkReply> reply_;
    EventStreamDecoder decoder_;
    RefreshThrottle throttle_;
    QTimer reconnectTimer_;
};
