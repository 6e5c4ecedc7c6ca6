#pragma once

#include "shared/KelvaneError.h"

#include <QString>

// A failure of the file-provider layer: the framework's numeric code and a description the
// user may see. File failures carry the platform's own text.
class FileProviderError : public KelvaneError {
public:
    static constexpr int kServerUnreachable = -1004;
    static constexpr int kNoSuchItem = -1005;
    static constexpr int kProviderNotFound = -2001;
    // A local file of the registry could not be read or written.
    static constexpr int kFileError = -1;

    FileProviderError(int code, QString description)
        : code_(code), description_(std::move(description)) {}

    int code() const { return code_; }
    QString description() const override { return description_; }

private:
    int code_;
    QString description_;
};
