#pragma once

#include "app/api/Filespace.h"
#include "app/api/ProvisionConfig.h"
#include "app/api/StorageStatsResponse.h"
#include "app/api/User.h"

#include <QCoroTask>
#include <QJsonValue>
#include <QObject>
#include <QUrl>
#include <chrono>
#include <optional>

class Keychain;
class QNetworkAccessManager;
class QNetworkRequest;
class UserDefaults;

// The application's client of the workspace server's account endpoints. Lives on the main
// thread; every network wait suspends a coroutine instead of blocking it.
class APIClient : public QObject {
    Q_OBJECT
public:
    // Largest answer body accepted; anything bigger is a response error, not a memory spike.
    static constexpr qint64 kMaxBodyBytes = 16 * 1024 * 1024;

    APIClient(UserDefaults& defaults, Keychain& keychain, QNetworkAccessManager& network,
              QObject* parent = nullptr);

    QCoro::Task<User> login(QString apiURL, QString email, QString password);
    QCoro::Task<User> fetchMe();
    QCoro::Task<QList<Filespace>> fetchFilespaces();
    QCoro::Task<ProvisionConfig> fetchProvisionConfig();
    QCoro::Task<StorageStatsResponse> getStorageStats();
    void logout();

    std::optional<QString> token() const;
    void setToken(const std::optional<QString>& token);
    bool isLoggedIn() const;
    const std::optional<User>& currentUser() const { return currentUser_; }
    std::optional<QUrl> baseURL() const { return baseURL_; }
    void setBaseURL(const std::optional<QUrl>& url) { baseURL_ = url; }

    // The endpoint resolved against the base address (restored from the defaults when unset);
    // throws APIError::invalidURL.
    QUrl resolvedURL(const QString& endpoint);

    // Every request gives up after this long (60 s unless a test shortens it).
    void setRequestTimeout(std::chrono::milliseconds timeout) { timeout_ = timeout; }

    // Parses a server address as typed; nothing when it is not an http(s) URL with a host.
    static std::optional<QUrl> parseServerURL(const QString& text);

signals:
    void currentUserChanged();

private:
    QCoro::Task<QJsonValue> get(QString endpoint);
    QCoro::Task<QJsonValue> perform(QNetworkRequest request, QByteArray postBody);
    void setCurrentUser(const std::optional<User>& user);

    UserDefaults& defaults_;
    Keychain& keychain_;
    QNetworkAccessManager& network_;
    std::chrono::milliseconds timeout_{60'000};
    std::optional<QUrl> baseURL_;
    std::optional<User> currentUser_;
};
