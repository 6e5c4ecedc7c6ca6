#pragma once

#include "shared/KelvaneError.h"

// Why an update check or install failed, in the words the user sees.
class UpdateError : public KelvaneError {
public:
    enum class Kind {
        notWritable,
        noFeed,
        badResponse,
        untrustedURL,
        badDMG,
        notNotarized,
        badSignature,
        wrongTeam,
        // A path the swap script would have to quote holds a character the shell reads.
        unsafePath,
    };

    explicit UpdateError(Kind kind, QString path = {}) : kind_(kind), path_(std::move(path)) {}

    Kind kind() const { return kind_; }
    QString path() const { return path_; }
    QString description() const override;

private:
    Kind kind_;
    QString path_;
};
