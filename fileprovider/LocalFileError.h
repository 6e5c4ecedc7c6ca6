#pragma once

#include "shared/KelvaneError.h"

// A local file could not be made, read, written or moved; carries the platform's own text.
// Not retried: the network has nothing to do with it.
class LocalFileError : public KelvaneError {
public:
    explicit LocalFileError(QString text) : text_(std::move(text)) {}
    QString description() const override { return text_; }

private:
    QString text_;
};
