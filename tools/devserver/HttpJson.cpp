#include "tools/devserver/HttpJson.h"

#include <QJsonArray>
#include <QJsonDocument>

namespace HttpJson {

void send(httplib::Response& response, int status, const QJsonValue& value) {
    const QJsonDocument doc =
        value.isArray() ? QJsonDocument(value.toArray()) : QJsonDocument(value.toObject());
    response.status = status;
    response.set_content(doc.toJson(QJsonDocument::Compact).toStdString(), "application/json");
}

void sendError(httplib::Response& response, int status, const QString& message) {
    send(response, status, QJsonObject{{"error", message}});
}

std::optional<QJsonObject> parseObject(const std::string& body) {
    QJsonParseError error{};
    const QJsonDocument doc = QJsonDocument::fromJson(
        QByteArray::fromRawData(body.data(), qsizetype(body.size())), &error);
    if (error.error != QJsonParseError::NoError || !doc.isObject())
        return std::nullopt;
    return doc.object();
}

QString bearerToken(const httplib::Request& request) {
    const QString header = QString::fromStdString(request.get_header_value("Authorization"));
    static const QLatin1String scheme("Bearer ");
    if (!header.startsWith(scheme, Qt::CaseInsensitive))
        return {};
    return header.mid(scheme.size()).trimmed();
}

} // namespace HttpJson
