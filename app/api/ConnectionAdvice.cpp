#include "app/api/ConnectionAdvice.h"

namespace ConnectionAdvice {

std::optional<QString> forFailure(const QString& description) {
    const auto has = [&](const char* text) {
        return description.contains(QLatin1String(text), Qt::CaseInsensitive);
    };
    if (has("Not found") || has("HTTP 404") || has("not valid JSON") ||
        description.startsWith(QLatin1String("Response error")))
        return QStringLiteral("Is this the workspace's API address? It usually ends in /api.");
    if (has("wrong version number") || has("SSL") || has("TLS") || has("handshake"))
        return QStringLiteral("Check whether the address starts with the right one of http:// "
                              "and https://.");
    return std::nullopt;
}

} // namespace ConnectionAdvice
