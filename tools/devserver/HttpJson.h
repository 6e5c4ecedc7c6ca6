#pragma once

#include <QJsonObject>
#include <QJsonValue>
#include <QString>
#include <httplib.h>
#include <optional>

// JSON in and out of the HTTP library's requests and responses.
namespace HttpJson {

void send(httplib::Response& response, int status, const QJsonValue& value);
// The error body every client reads: {"error": message}.
void sendError(httplib::Response& response, int status, const QString& message);

// The body as a JSON object; nothing when it is not one.
std::optional<QJsonObject> parseObject(const std::string& body);

// The token of an "Authorization: Bearer …" header; empty when there is none.
QString bearerToken(const httplib::Request& request);

} // namespace HttpJson
