#include "app/api/APIClient.h"

#include "app/api/APIError.h"
#include "app/api/ApiLogging.h"
#include "app/settings/AppSettings.h"
#include "app/settings/Keychain.h"
#include "app/settings/SharedConfig.h"
#include "platform/CredentialStore.h"
#include "platform/UserDefaults.h"
#include "shared/JsonReader.h"

#include <QCoroNetworkReply>
#include <QCoroSignal>
#include <QJsonDocument>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QPointer>

namespace {

constexpr const char* kTooLargeProperty = "kelvaneBodyTooLarge";

// Aborts a reply whose body grows past the limit. The flag lives on the reply: GCC 12
// miscompiles lambdas that capture a coroutine's locals.
void watchBodySize(QNetworkReply* reply) {
    QObject::connect(reply, &QNetworkReply::downloadProgress, reply, [reply](qint64 received) {
        if (received > APIClient::kMaxBodyBytes && !reply->property(kTooLargeProperty).toBool()) {
            reply->setProperty(kTooLargeProperty, true);
            reply->abort();
        }
    });
}

QJsonValue parseBody(const QByteArray& body) {
    QJsonParseError error{};
    const QJsonDocument doc = QJsonDocument::fromJson(body, &error);
    if (error.error != QJsonParseError::NoError)
        throw APIError::decodingError(QStringLiteral("the data is not valid JSON (%1 at offset %2)")
                                          .arg(error.errorString())
                                          .arg(error.offset));
    return doc.isArray() ? QJsonValue(doc.array()) : QJsonValue(doc.object());
}

// Runs a record decoder, turning its failure into the client's response error.
template <typename F> auto decode(const QJsonValue& value, F&& decoder) {
    try {
        return decoder(value);
    } catch (const DecodingError& e) {
        throw APIError::decodingError(e.description());
    }
}

QJsonObject expectObject(const QJsonValue& v) {
    if (!v.isObject())
        throw DecodingError(QStringLiteral("expected a JSON object, found ") + jsonTypeName(v));
    return v.toObject();
}

QString serverMessage(const QByteArray& body, int status) {
    try {
        return JsonReader(JsonReader::parseObject(body)).string("error");
    } catch (const DecodingError&) {
        return QStringLiteral("HTTP %1").arg(status);
    }
}

} // namespace

APIClient::APIClient(UserDefaults& defaults, Keychain& keychain, QNetworkAccessManager& network,
                     QObject* parent)
    : QObject(parent), defaults_(defaults), keychain_(keychain), network_(network) {
    credentialRetry_.setSingleShot(true);
    credentialRetry_.setInterval(std::chrono::seconds(30));
    connect(&credentialRetry_, &QTimer::timeout, this, [this] { readToken(); });
}

void APIClient::setCredentialRetryInterval(std::chrono::milliseconds interval) {
    credentialRetry_.setInterval(interval);
}

std::optional<QUrl> APIClient::parseServerURL(const QString& text) {
    const QUrl url(text, QUrl::StrictMode);
    if (!url.isValid() || url.host().isEmpty())
        return std::nullopt;
    if (url.scheme() != QLatin1String("http") && url.scheme() != QLatin1String("https"))
        return std::nullopt;
    return url;
}

QUrl APIClient::resolvedURL(const QString& endpoint) {
    if (!baseURL_) {
        if (const auto stored = defaults_.string(DefaultsKeys::kApiURL))
            baseURL_ = parseServerURL(*stored);
    }
    if (!baseURL_)
        throw APIError::invalidURL();
    QString base = baseURL_->toString(QUrl::FullyEncoded);
    if (!base.endsWith('/'))
        base += '/';
    const QString relative = endpoint.startsWith('/') ? endpoint.mid(1) : endpoint;
    const QUrl baseWithSlash(base, QUrl::StrictMode);
    if (!baseWithSlash.isValid())
        throw APIError::invalidURL();
    const QUrl resolved = baseWithSlash.resolved(QUrl(relative));
    if (!resolved.isValid())
        throw APIError::invalidURL();
    return resolved;
}

void APIClient::applyToken(TokenState state, const std::optional<QString>& token) {
    const bool changed = state != tokenState_ || token != token_;
    tokenState_ = state;
    token_ = token;
    if (state == TokenState::unavailable)
        credentialRetry_.start();
    else
        credentialRetry_.stop();
    if (changed)
        emit tokenStateChanged();
}

QCoro::Task<> APIClient::readToken() {
    QPointer<APIClient> self(this);
    ++readsInFlight_;
    TokenState state = TokenState::unavailable;
    std::optional<QString> value;
    try {
        value = co_await keychain_.fetch(Keychain::kTokenKey);
        state = TokenState::absent;
        if (value)
            state = TokenState::stored;
    } catch (const std::exception& e) {
        qCDebug(lcApi).noquote() << "the stored token cannot be read now:" << describeError(e);
    }
    if (!self)
        co_return;
    --readsInFlight_;
    applyToken(state, value);
    emit tokenReadFinished();
}

QCoro::Task<> APIClient::reloadToken() {
    setCurrentUser(std::nullopt);
    co_await readToken();
}

QCoro::Task<> APIClient::tokenReady() {
    while (readsInFlight_ > 0)
        co_await qCoro(this, &APIClient::tokenReadFinished);
    if (tokenState_ == TokenState::unread || tokenState_ == TokenState::unavailable)
        co_await readToken();
    if (tokenState_ == TokenState::unavailable)
        throw CredentialsUnavailable();
}

QCoro::Task<> APIClient::setToken(std::optional<QString> token) {
    if (token)
        co_await keychain_.store(Keychain::kTokenKey, *token);
    else
        co_await keychain_.erase(Keychain::kTokenKey);
    if (token)
        applyToken(TokenState::stored, token);
    else
        applyToken(TokenState::absent, std::nullopt);
    if (const auto failure = SharedConfig::setToken(token))
        throw *failure;
}

void APIClient::setCurrentUser(const std::optional<User>& user) {
    if (currentUser_ == user)
        return;
    currentUser_ = user;
    emit currentUserChanged();
}

QCoro::Task<QJsonValue> APIClient::perform(QNetworkRequest request, QByteArray postBody) {
    request.setTransferTimeout(int(timeout_.count()));
    QNetworkReply* reply =
        postBody.isNull() ? network_.get(request) : network_.post(request, postBody);
    std::unique_ptr<QNetworkReply, void (*)(QNetworkReply*)> owner(
        reply, [](QNetworkReply* r) { r->deleteLater(); });
    watchBodySize(reply);
    co_await qCoro(reply).waitForFinished();

    if (reply->property(kTooLargeProperty).toBool())
        throw APIError::decodingError(
            QStringLiteral("the response body is larger than %1 bytes").arg(kMaxBodyBytes));
    const QVariant statusAttr = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    if (!statusAttr.isValid()) {
        if (reply->error() == QNetworkReply::OperationCanceledError)
            throw TransportError(QStringLiteral("The request timed out."), reply->error());
        if (reply->error() != QNetworkReply::NoError)
            throw TransportError(reply->errorString(), reply->error());
        throw APIError::serverError(QStringLiteral("Invalid response"));
    }
    const int status = statusAttr.toInt();
    // A success whose body could not be received (cut short, failed to decompress) is a
    // transport failure, not a malformed answer.
    if (status < 400 && reply->error() != QNetworkReply::NoError)
        throw TransportError(reply->errorString(), reply->error());
    const QByteArray body = reply->readAll();
    if (status == 401)
        throw APIError::unauthorized();
    if (status >= 400)
        throw APIError::serverError(serverMessage(body, status));
    co_return parseBody(body);
}

QCoro::Task<QJsonValue> APIClient::get(QString endpoint) {
    QNetworkRequest request(resolvedURL(endpoint));
    request.setHeader(QNetworkRequest::ContentTypeHeader, QStringLiteral("application/json"));
    // Never sent without a token because the keyring is locked: the 401 would end the session.
    co_await tokenReady();
    if (token_)
        request.setRawHeader("Authorization", "Bearer " + token_->toUtf8());
    co_return co_await perform(request, QByteArray());
}

QCoro::Task<User> APIClient::login(QString apiURL, QString email, QString password) {
    // The trimmed text is also what gets stored, so the next launch can restore from it.
    const QString address = apiURL.trimmed();
    const auto base = parseServerURL(address);
    if (!base)
        throw APIError::invalidURL();
    const std::optional<QUrl> priorBase = baseURL_;
    baseURL_ = base;
    // The token this sign-in replaces must be known to be put back; a keychain that cannot be
    // read now could not take the new one either, so the password is not sent for nothing.
    co_await tokenReady();
    QNetworkRequest request(resolvedURL(QStringLiteral("/auth/login")));
    request.setHeader(QNetworkRequest::ContentTypeHeader, QStringLiteral("application/json"));
    const QJsonObject body{{"email", email}, {"password", password}};
    const QJsonValue answer =
        co_await perform(request, QJsonDocument(body).toJson(QJsonDocument::Compact));

    const auto [newToken, user] = decode(answer, [](const QJsonValue& v) {
        const JsonReader r(expectObject(v));
        return std::pair{r.string("token"), User::fromJson(r.object("user"))};
    });
    PriorSession prior{token_, currentUser_, priorBase, defaults_.string(DefaultsKeys::kApiURL),
                       SharedConfig::snapshot()};
    co_await commitLogin(newToken, user, address, prior);
    co_return user;
}

QCoro::Task<> APIClient::commitLogin(QString newToken, User user, QString address,
                                     PriorSession prior) {
    // Nothing is written yet if the keychain refuses: its failure is the whole story.
    co_await keychain_.store(Keychain::kTokenKey, newToken);
    applyToken(TokenState::stored, newToken);
    prior_ = prior;
    std::optional<WriteError> failure = SharedConfig::setToken(newToken);
    if (!failure) {
        setCurrentUser(user);
        failure = defaults_.setValue(DefaultsKeys::kApiURL, address);
    }
    if (!failure)
        failure = SharedConfig::setApiURL(address);
    if (failure)
        co_await abandonLogin(failure->description());
}

QCoro::Task<> APIClient::abandonLogin(QString cause) {
    std::optional<QString> undoFailure;
    try {
        co_await undoLogin();
    } catch (const KelvaneError& e) {
        undoFailure = e.description();
    }
    if (undoFailure)
        throw SessionStorageError(
            cause + QStringLiteral(" The sign-in could not be fully undone: ") + *undoFailure);
    throw SessionStorageError(cause + QStringLiteral(" The sign-in was undone; nothing changed."));
}

QCoro::Task<std::optional<QString>> APIClient::restoreToken(std::optional<QString> token) {
    std::optional<QString> failure;
    try {
        if (token)
            co_await keychain_.store(Keychain::kTokenKey, *token);
        else
            co_await keychain_.erase(Keychain::kTokenKey);
    } catch (const KelvaneError& e) {
        failure = e.description();
    }
    if (failure)
        co_return failure;
    if (token)
        applyToken(TokenState::stored, token);
    else
        applyToken(TokenState::absent, std::nullopt);
    co_return std::nullopt;
}

QCoro::Task<> APIClient::undoLogin() {
    if (!prior_)
        co_return;
    const PriorSession prior = *prior_;
    prior_.reset();
    QStringList failures;
    const std::optional<QString> tokenFailure = co_await restoreToken(prior.token);
    if (tokenFailure)
        failures.append(*tokenFailure);
    if (const auto failed = SharedConfig::restore(prior.published))
        failures.append(failed->description());
    // Only what the sign-in changed is put back: a write that failed changed nothing.
    std::optional<WriteError> addressFailure;
    if (defaults_.string(DefaultsKeys::kApiURL) != prior.storedAddress) {
        if (prior.storedAddress)
            addressFailure = defaults_.setValue(DefaultsKeys::kApiURL, *prior.storedAddress);
        else
            addressFailure = defaults_.remove(DefaultsKeys::kApiURL);
    }
    if (addressFailure)
        failures.append(addressFailure->description());
    baseURL_ = prior.baseURL;
    setCurrentUser(prior.user);
    if (!failures.isEmpty())
        throw SessionStorageError(failures.join(QLatin1Char(' ')));
}

QCoro::Task<User> APIClient::fetchMe() {
    const QJsonValue answer = co_await get(QStringLiteral("/auth/me"));
    const User user =
        decode(answer, [](const QJsonValue& v) { return User::fromJson(expectObject(v)); });
    setCurrentUser(user);
    co_return user;
}

QCoro::Task<QList<Filespace>> APIClient::fetchFilespaces() {
    const QJsonValue answer = co_await get(QStringLiteral("/filespaces"));
    co_return decode(answer, [](const QJsonValue& v) {
        if (!v.isArray())
            throw DecodingError(QStringLiteral("expected an array of filespaces, found ") +
                                jsonTypeName(v));
        return Filespace::listFromJson(v.toArray());
    });
}

QCoro::Task<ProvisionConfig> APIClient::fetchProvisionConfig() {
    const QJsonValue answer = co_await get(QStringLiteral("/provision/config"));
    co_return decode(
        answer, [](const QJsonValue& v) { return ProvisionConfig::fromJson(expectObject(v)); });
}

QCoro::Task<StorageStatsResponse> APIClient::getStorageStats() {
    const QJsonValue answer = co_await get(QStringLiteral("/files/storage"));
    co_return decode(answer, [](const QJsonValue& v) {
        return StorageStatsResponse::fromJson(expectObject(v));
    });
}

namespace {

QString stillStored(const WriteError& e) {
    return QStringLiteral("Could not remove the token from %1: %2; it is still stored there.")
        .arg(e.place(), e.reason());
}

} // namespace

QCoro::Task<> APIClient::logout() {
    prior_.reset();
    QStringList left;
    try {
        co_await keychain_.erase(Keychain::kTokenKey);
    } catch (const WriteError& e) {
        left.append(stillStored(e));
    } catch (const KelvaneError& e) {
        left.append(e.description());
    }
    // Requests stop carrying the token even where a copy could not be removed.
    applyToken(TokenState::absent, std::nullopt);
    if (const auto failure = SharedConfig::setToken(std::nullopt))
        left.append(stillStored(*failure));
    setCurrentUser(std::nullopt);
    if (!left.isEmpty())
        throw SessionStorageError(left.join(QLatin1Char('\n')));
}
