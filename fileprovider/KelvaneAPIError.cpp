#include "fileprovider/KelvaneAPIError.h"

KelvaneAPIError KelvaneAPIError::http(int status, QString body) {
    return {Kind::http, status, std::move(body)};
}

KelvaneAPIError KelvaneAPIError::decode(QString underlyingDescription) {
    return {Kind::decode, 0, std::move(underlyingDescription)};
}

KelvaneAPIError KelvaneAPIError::notConfigured() {
    return {Kind::notConfigured, 0, {}};
}

QString KelvaneAPIError::description() const {
    switch (kind_) {
    case Kind::http:
        return QStringLiteral("HTTP ") + QString::number(status_) + QStringLiteral(": ") + detail_;
    case Kind::decode:
        return QStringLiteral("Decode error: ") + detail_;
    case Kind::notConfigured:
        break;
    }
    return QStringLiteral("API URL or auth token missing");
}
