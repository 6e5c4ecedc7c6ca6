#include "tools/devserver/tests/HttpProbe.h"

#include <QEventLoop>
#include <QJsonDocument>
#include <QNetworkRequest>
#include <memory>

QJsonObject HttpAnswer::object() const {
    return QJsonDocument::fromJson(body).object();
}

QJsonArray HttpAnswer::array() const {
    return QJsonDocument::fromJson(body).array();
}

QNetworkRequest HttpProbe::request(const QString& path, int timeoutMs) const {
    QNetworkRequest request(QUrl(baseURL_ + path));
    request.setTransferTimeout(timeoutMs);
    request.setHeader(QNetworkRequest::ContentTypeHeader, "application/json");
    if (!token_.isEmpty())
        request.setRawHeader("Authorization", "Bearer " + token_.toUtf8());
    return request;
}

HttpAnswer HttpProbe::get(const QString& path, int timeoutMs) {
    return await(network_.get(request(path, timeoutMs)));
}

HttpAnswer HttpProbe::post(const QString& path, const QByteArray& body, int timeoutMs) {
    return await(network_.post(request(path, timeoutMs), body));
}

HttpAnswer HttpProbe::post(const QString& path, const QJsonObject& body) {
    return post(path, QJsonDocument(body).toJson(QJsonDocument::Compact));
}

HttpAnswer HttpProbe::login(const QString& email, const QString& password) {
    const HttpAnswer answer = post("/api/auth/login", {{"email", email}, {"password", password}});
    if (answer.status == 200)
        token_ = answer.object().value("token").toString();
    return answer;
}

HttpAnswer HttpProbe::await(QNetworkReply* reply) {
    std::unique_ptr<QNetworkReply> owner(reply);
    if (!reply->isFinished()) {
        QEventLoop loop;
        QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
        loop.exec();
    }
    return {reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt(), reply->readAll(),
            reply->header(QNetworkRequest::ContentTypeHeader).toByteArray(), reply->error()};
}
