#pragma once

#include "shared/KelvaneError.h"

#include <QString>

// A failure of the file-provider layer: the framework's numeric code and a description the
// user may see. File failures carry the platform's own text.
class FileProviderError : public KelvaneError {
public:
    static constexpr int kServerUnreachable = -1004;
    static constexpr int kNoSuchItem = -1005;
    static constexpr int kDeletionRejected = -1006;
    static constexpr int kProviderNotFound = -2001;
    // A local file of the registry could not be read or written.
    static constexpr int kFileError = -1;

    // The framework's errors as an extension hands them over, with the system's own text.
    static FileProviderError noSuchItem() { return framework(kNoSuchItem); }
    static FileProviderError serverUnreachable() { return framework(kServerUnreachable); }
    static FileProviderError providerNotFound() { return framework(kProviderNotFound); }
    static FileProviderError deletionRejected() { return framework(kDeletionRejected); }

    FileProviderError(int code, QString description)
        : code_(code), description_(std::move(description)) {}

    int code() const { return code_; }
    QString description() const override { return description_; }

private:
    static FileProviderError framework(int code) {
        return {code, QStringLiteral("The operation couldn't be completed. "
                                     "(NSFileProviderErrorDomain error %1.)")
                          .arg(code)};
    }

    int code_;
    QString description_;
};
