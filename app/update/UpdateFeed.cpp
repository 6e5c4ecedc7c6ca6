#include "app/update/UpdateFeed.h"

#include "app/update/UpdateError.h"
#include "app/update/UpdateLogging.h"
#include "shared/Iso8601.h"
#include "shared/JsonReader.h"

#include <QCoroNetworkReply>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <memory>

namespace UpdateFeed {

namespace {

struct ReplyDeleter {
    void operator()(QNetworkReply* reply) const { reply->deleteLater(); }
};

bool isTimeout(const QNetworkReply& reply) {
    return reply.error() == QNetworkReply::OperationCanceledError;
}

} // namespace

QString base(const std::optional<QString>& siteURL, const std::optional<QString>& storedApiURL) {
    QString text = siteURL.value_or(storedApiURL.value_or(QString())).trimmed();
    while (text.endsWith('/'))
        text.chop(1);
    if (text.endsWith(QLatin1String("/api")))
        text.chop(4);
    return text;
}

std::optional<QUrl> feedURL(const QString& base) {
    if (base.isEmpty())
        return std::nullopt;
    const QUrl url(base + QStringLiteral("/downloads/latest.json"), QUrl::StrictMode);
    if (!url.isValid() || url.isRelative() || url.host().isEmpty())
        return std::nullopt;
    return url;
}

UpdateRelease releaseFrom(const QByteArray& body, const QUrl& feed) {
    const JsonReader payload(JsonReader::parseObject(body), QStringLiteral("update feed"));
    const auto version = payload.optionalString("version");
    const auto build = payload.optionalString("build");
    const auto urlText = payload.optionalString("url");
    const auto published = payload.optionalString("published");
    if (!build || !urlText)
        throw UpdateError(UpdateError::Kind::badResponse);
    const QUrl url(*urlText, QUrl::StrictMode);
    if (urlText->isEmpty() || !url.isValid())
        throw UpdateError(UpdateError::Kind::badResponse);
    // The scheme exactly as written: "HTTPS:" or none at all is not "https".
    if (!urlText->startsWith(QLatin1String("https:")))
        throw UpdateError(UpdateError::Kind::untrustedURL);
    if (url.host() != feed.host())
        throw UpdateError(UpdateError::Kind::untrustedURL);
    return {version.value_or(QStringLiteral("?")), *build, url,
            published ? Iso8601::parse(*published) : std::nullopt};
}

namespace {

constexpr int kMaxRedirects = 10;

// One answer of the server, or of a server it redirected to.
struct Answer {
    int status = 0;
    QByteArray body;
    QUrl location; // a redirect's target, resolved
};

bool isRedirect(int status) {
    return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

QCoro::Task<Answer> getOnce(QNetworkAccessManager& network, QUrl url,
                            std::chrono::milliseconds timeout) {
    QNetworkRequest request(url);
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute,
                         QNetworkRequest::AlwaysNetwork);
    request.setAttribute(QNetworkRequest::CacheSaveControlAttribute, false);
    request.setTransferTimeout(int(timeout.count()));
    // Redirects are followed here, one request each, after their target is checked.
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                         QNetworkRequest::ManualRedirectPolicy);
    std::unique_ptr<QNetworkReply, ReplyDeleter> reply(network.get(request));
    bool tooLarge = false;
    QByteArray body;
    QObject::connect(reply.get(), &QIODevice::readyRead, reply.get(),
                     [&tooLarge, &body, raw = reply.get()] {
                         body += raw->readAll();
                         if (body.size() > kMaxBodyBytes && !tooLarge) {
                             tooLarge = true;
                             raw->abort();
                         }
                     });
    co_await qCoro(reply.get()).waitForFinished();
    if (!tooLarge)
        body += reply->readAll();
    if (tooLarge || body.size() > kMaxBodyBytes)
        throw UpdateError(UpdateError::Kind::badResponse);
    // No answer, or one cut off mid-body (network errors are numbered below 100), is the
    // transport's; any other answer is the server's.
    const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    const QNetworkReply::NetworkError error = reply->error();
    if (error != QNetworkReply::NoError && (error < 100 || !status.isValid())) {
        if (isTimeout(*reply))
            throw TransportError(QStringLiteral("The request timed out."), error);
        throw TransportError(reply->errorString(), error);
    }
    Answer answer{status.toInt(), std::move(body), {}};
    if (isRedirect(answer.status)) {
        const QUrl target = reply->header(QNetworkRequest::LocationHeader).toUrl();
        if (target.isValid())
            answer.location = url.resolved(target);
    }
    co_return answer;
}

} // namespace

QCoro::Task<UpdateRelease> fetch(QNetworkAccessManager& network, QUrl url,
                                 std::chrono::milliseconds timeout) {
    QUrl next = url;
    for (int redirects = 0;; ++redirects) {
        const Answer answer = co_await getOnce(network, next, timeout);
        if (!isRedirect(answer.status)) {
            if (answer.status != 200)
                throw UpdateError(UpdateError::Kind::badResponse);
            co_return releaseFrom(answer.body, url);
        }
        // Elsewhere, or down to plain http, is not the server signed in to.
        const QUrl& target = answer.location;
        const bool downgrade =
            url.scheme() == QLatin1String("https") && target.scheme() != QLatin1String("https");
        if (target.isEmpty() || target.host() != url.host() || downgrade ||
            redirects >= kMaxRedirects) {
            qCWarning(lcUpdate) << "feed redirect refused:" << target.host();
            throw UpdateError(UpdateError::Kind::badResponse);
        }
        next = target;
    }
}

} // namespace UpdateFeed
