#pragma once

#include "shared/KelvaneError.h"

// The multipart uploader's own failures; other failures of an upload pass through as they are.
class MPError : public KelvaneError {
public:
    enum class Kind { initFailed, partFailed, completeFailed, readFailed };

    static MPError initFailed(QString text) { return {Kind::initFailed, 0, std::move(text)}; }
    static MPError partFailed(int partNumber, QString text) {
        return {Kind::partFailed, partNumber, std::move(text)};
    }
    static MPError completeFailed(QString text) {
        return {Kind::completeFailed, 0, std::move(text)};
    }
    static MPError readFailed(QString text) { return {Kind::readFailed, 0, std::move(text)}; }

    Kind kind() const { return kind_; }
    int partNumber() const { return partNumber_; }
    QString description() const override;

private:
    MPError(Kind kind, int partNumber, QString text)
        : kind_(kind), partNumber_(partNumber), text_(std::move(text)) {}

    Kind kind_;
    int partNumber_;
    QString text_;
};
