#pragma once

#include "shared/KelvaneError.h"

// Failures of the account API; transport failures are TransportError instead.
class APIError : public KelvaneError {
public:
    enum class Kind { serverError, decodingError, invalidURL, unauthorized };

    static APIError serverError(QString message) { return {Kind::serverError, std::move(message)}; }
    static APIError decodingError(QString decoderMessage) {
        return {Kind::decodingError, std::move(decoderMessage)};
    }
    static APIError invalidURL() { return {Kind::invalidURL, {}}; }
    static APIError unauthorized() { return {Kind::unauthorized, {}}; }

    Kind kind() const { return kind_; }
    QString message() const { return message_; }

    QString description() const override {
        switch (kind_) {
        case Kind::serverError:
            return message_;
        case Kind::decodingError:
            return QStringLiteral("Response error: ") + message_;
        case Kind::invalidURL:
            return QStringLiteral("Invalid API URL");
        case Kind::unauthorized:
            return QStringLiteral("Invalid credentials");
        }
        return message_;
    }

private:
    APIError(Kind kind, QString message) : kind_(kind), message_(std::move(message)) {}
    Kind kind_;
    QString message_;
};
