#pragma once

#include "shared/KelvaneError.h"

// The files API's own failures (the application's API client has its own error type): a
// refusal by the server, an answer of the wrong shape, or no address and token to send with.
class KelvaneAPIError : public KelvaneError {
public:
    enum class Kind { http, decode, notConfigured };

    static KelvaneAPIError http(int status, QString body);
    static KelvaneAPIError decode(QString underlyingDescription);
    static KelvaneAPIError notConfigured();

    Kind kind() const { return kind_; }
    int status() const { return status_; }
    const QString& body() const { return detail_; }
    QString description() const override;

private:
    KelvaneAPIError(Kind kind, int status, QString detail)
        : kind_(kind), status_(status), detail_(std::move(detail)) {}

    Kind kind_;
    int status_ = 0;
    QString detail_; // the body for http, the decoding failure's text for decode
};
