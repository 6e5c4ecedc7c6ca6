#pragma once

#include <QString>
#include <exception>

// Base of every error thrown through the programs' coroutines; description() is the text a
// user sees.
class KelvaneError : public std::exception {
public:
    virtual QString description() const = 0;
    const char* what() const noexcept override {
        what_ = description().toUtf8();
        return what_.constData();
    }

private:
    mutable QByteArray what_;
};

// A network or file failure, carrying the platform's own text unchanged.
class TransportError : public KelvaneError {
public:
    explicit TransportError(QString text, int code = 0) : text_(std::move(text)), code_(code) {}
    QString description() const override { return text_; }
    int code() const { return code_; }

private:
    QString text_;
    int code_;
};

// The text a user sees for any failure: the description of ours, the platform's text otherwise.
inline QString describeError(const std::exception& error) {
    if (const auto* known = dynamic_cast<const KelvaneError*>(&error))
        return known->description();
    return QString::fromUtf8(error.what());
}
