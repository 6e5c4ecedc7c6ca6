#pragma once

#include "app/api/Filespace.h"
#include "app/api/ProvisionConfig.h"
#include "app/api/StorageStatsResponse.h"
#include "app/api/User.h"
#include "app/settings/SharedConfig.h"
#include "shared/KelvaneError.h"

#include <QCoroTask>
#include <QJsonValue>
#include <QObject>
#include <QTimer>
#include <QUrl>
#include <chrono>
#include <optional>

class Keychain;
class QNetworkAccessManager;
class QNetworkRequest;
class UserDefaults;

// A sign-in or sign-out that could not store or remove every copy of the session; the text
// says what was left and where.
class SessionStorageError : public KelvaneError {
public:
    explicit SessionStorageError(QString text) : text_(std::move(text)) {}
    QString description() const override { return text_; }

private:
    QString text_;
};

// The application's client of the workspace server's account endpoints. Lives on the main
// thread; every network wait suspends a coroutine instead of blocking it. The token is read
// from the keychain once (on the keychain's worker) and kept in memory, so no request waits
// on D-Bus; reloadToken() reads it again.
class APIClient : public QObject {
    Q_OBJECT
public:
    // Largest answer body accepted; anything bigger is a response error, not a memory spike.
    static constexpr qint64 kMaxBodyBytes = 16 * 1024 * 1024;

    // What is known of the stored token. `unavailable`: the keyring exists but is locked or
    // not answering; that is not "signed out", and nothing is removed because of it.
    enum class TokenState { unread, stored, absent, unavailable };

    APIClient(UserDefaults& defaults, Keychain& keychain, QNetworkAccessManager& network,
              QObject* parent = nullptr);

    // Fails with APIError, a transport error, CredentialsUnavailable (before anything is sent),
    // WriteError (the keychain refused the token; nothing changed) or SessionStorageError (a
    // later write failed; every earlier one was undone).
    QCoro::Task<User> login(QString apiURL, QString email, QString password);
    // Puts back the session the last successful login() replaced: token, address, user and the
    // published configuration. For a caller whose own follow-up write failed (the settings
    // record). Throws SessionStorageError when something could not be put back.
    QCoro::Task<> undoLogin();
    // Every request fails with CredentialsUnavailable while the keyring cannot be read.
    QCoro::Task<User> fetchMe();
    QCoro::Task<QList<Filespace>> fetchFilespaces();
    QCoro::Task<ProvisionConfig> fetchProvisionConfig();
    QCoro::Task<StorageStatsResponse> getStorageStats();
    // Removes the token from the keychain (both stores) and from config.json and forgets the
    // user. Whatever fails, the session ends in memory; then SessionStorageError names each
    // copy that is still stored.
    QCoro::Task<> logout();

    // Reads the stored token afresh. Call once at launch before anything asks isLoggedIn(),
    // and whenever another process reports a sign-in or sign-out ("didLogin", "didLogout"):
    // the current user is forgotten at once, since the session may have changed. Never throws;
    // the outcome is tokenState(). While the keyring is unavailable it is asked again every
    // retry interval, and tokenStateChanged() reports when it answers.
    QCoro::Task<> reloadToken();
    TokenState tokenState() const { return tokenState_; }
    // The token as last read or written; nothing while unread or unavailable.
    std::optional<QString> token() const { return token_; }
    // Stores (or with nothing, removes) the token in the keychain and config.json; throws as
    // the keychain and SharedConfig report.
    QCoro::Task<> setToken(std::optional<QString> token);
    // True when a token is known to be stored, valid on the server or not.
    bool isLoggedIn() const { return tokenState_ == TokenState::stored; }
    const std::optional<User>& currentUser() const { return currentUser_; }
    std::optional<QUrl> baseURL() const { return baseURL_; }
    void setBaseURL(const std::optional<QUrl>& url) { baseURL_ = url; }

    // The endpoint resolved against the base address (restored from the defaults when unset);
    // throws APIError::invalidURL.
    QUrl resolvedURL(const QString& endpoint);

    // Every request gives up after this long (60 s unless a test shortens it).
    void setRequestTimeout(std::chrono::milliseconds timeout) { timeout_ = timeout; }

    // How often an unavailable keyring is asked again (30 s unless a test shortens it).
    void setCredentialRetryInterval(std::chrono::milliseconds interval);

    // Parses a server address as typed; nothing when it is not an http(s) URL with a host.
    static std::optional<QUrl> parseServerURL(const QString& text);

signals:
    void currentUserChanged();
    void tokenStateChanged();
    void tokenReadFinished();

private:
    // What a sign-in replaced.
    struct PriorSession {
        std::optional<QString> token;
        std::optional<User> user;
        std::optional<QUrl> baseURL;
        std::optional<QString> storedAddress;
        SharedConfig::Snapshot published;
    };

    QCoro::Task<QJsonValue> get(QString endpoint);
    QCoro::Task<QJsonValue> perform(QNetworkRequest request, QByteArray postBody);
    QCoro::Task<> readToken();
    // Waits for reads in flight, reads when nothing is known; throws CredentialsUnavailable.
    QCoro::Task<> tokenReady();
    QCoro::Task<> commitLogin(QString newToken, User user, QString address, PriorSession prior);
    QCoro::Task<> abandonLogin(QString cause);
    QCoro::Task<std::optional<QString>> restoreToken(std::optional<QString> token);
    void applyToken(TokenState state, const std::optional<QString>& token);
    void setCurrentUser(const std::optional<User>& user);

    UserDefaults& defaults_;
    Keychain& keychain_;
    QNetworkAccessManager& network_;
    std::chrono::milliseconds timeout_{60'000};
    std::optional<QUrl> baseURL_;
    std::optional<User> currentUser_;
    TokenState tokenState_ = TokenState::unread;
    std::optional<QString> token_;
    int readsInFlight_ = 0;
    QTimer credentialRetry_;
    std::optional<PriorSession> prior_;
};
