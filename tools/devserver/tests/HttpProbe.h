#pragma once

#include <QJsonArray>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QString>

struct HttpAnswer {
    int status = 0; // 0: no HTTP answer at all
    QByteArray body;
    QByteArray contentType;
    QNetworkReply::NetworkError error = QNetworkReply::NoError;

    bool isTransportError() const { return status == 0 && error != QNetworkReply::NoError; }
    QJsonObject object() const;
    QJsonArray array() const;
};

// Plain requests with Qt's HTTP client, the one the application uses, each awaited on a
// local event loop until it finishes or its transfer time-out aborts it.
class HttpProbe {
public:
    static constexpr int kDefaultTimeoutMs = 30'000;

    explicit HttpProbe(const QString& baseURL) : baseURL_(baseURL) {}

    void setToken(const QString& token) { token_ = token; }
    HttpAnswer get(const QString& path, int timeoutMs = kDefaultTimeoutMs);
    HttpAnswer post(const QString& path, const QByteArray& body, int timeoutMs = kDefaultTimeoutMs);
    HttpAnswer post(const QString& path, const QJsonObject& body);
    // Signs in and keeps the token for later requests.
    HttpAnswer login(const QString& email, const QString& password);

    QNetworkRequest request(const QString& path, int timeoutMs) const;
    QNetworkAccessManager& network() { return network_; }

private:
    static HttpAnswer await(QNetworkReply* reply);

    QString baseURL_;
    QString token_;
    QNetworkAccessManager network_;
};
