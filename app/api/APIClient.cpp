#include "app/api/APIClient.h"

#include "app/api/APIError.h"
#include "app/settings/AppSettings.h"
#include "app/settings/Keychain.h"
#include "app/settings/SharedConfig.h"
#include "platform/Logging.h"
#include "platform/UserDefaults.h"
#include "shared/JsonReader.h"

#include <QCoroNetworkReply>
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
    : QObject(parent), defaults_(defaults), keychain_(keychain), network_(network) {}

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

std::optional<QString> APIClient::token() const {
    return keychain_.get(Keychain::kTokenKey);
}

void APIClient::setToken(const std::optional<QString>& token) {
    if (token)
        keychain_.save(Keychain::kTokenKey, *token);
    else
        keychain_.remove(Keychain::kTokenKey);
    SharedConfig::setToken(token);
}

bool APIClient::isLoggedIn() const {
    return token().has_value();
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
    if (const auto t = token())
        request.setRawHeader("Authorization", "Bearer " + t->toUtf8());
    co_return co_await perform(request, QByteArray());
}

QCoro::Task<User> APIClient::login(QString apiURL, QString email, QString password) {
    // The trimmed text is also what gets stored, so the next launch can restore from it.
    const QString address = apiURL.trimmed();
    const auto base = parseServerURL(address);
    if (!base)
        throw APIError::invalidURL();
    baseURL_ = base;
    QNetworkRequest request(resolvedURL(QStringLiteral("/auth/login")));
    request.setHeader(QNetworkRequest::ContentTypeHeader, QStringLiteral("application/json"));
    const QJsonObject body{{"email", email}, {"password", password}};
    const QJsonValue answer =
        co_await perform(request, QJsonDocument(body).toJson(QJsonDocument::Compact));

    const auto [newToken, user] = decode(answer, [](const QJsonValue& v) {
        const JsonReader r(expectObject(v));
        return std::pair{r.string("token"), User::fromJson(r.object("user"))};
    });
    keychain_.save(Keychain::kTokenKey, newToken);
    SharedConfig::setToken(newToken);
    setCurrentUser(user);
    defaults_.setValue(DefaultsKeys::kApiURL, address);
    SharedConfig::setApiURL(address);
    co_return user;
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

void APIClient::logout() {
    keychain_.remove(Keychain::kTokenKey);
    SharedConfig::setToken(std::nullopt);
    setCurrentUser(std::nullopt);
}
