#include "shared/ClipboardRequest.h"

namespace ClipboardRequest {

QJsonObject make(const QString& text) {
    return QJsonObject{{QStringLiteral("command"), kCommand}, {QStringLiteral("text"), text}};
}

std::optional<QString> textOf(const QJsonObject& request) {
    const QJsonValue text = request.value(QStringLiteral("text"));
    if (!text.isString() || text.toString().isEmpty() || text.toString().size() > kMaxTextLength)
        return std::nullopt;
    return text.toString();
}

bool isAccepted(const QJsonObject& reply) {
    return reply.value(QStringLiteral("ok")).toBool();
}

} // namespace ClipboardRequest
