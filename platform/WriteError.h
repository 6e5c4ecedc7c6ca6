#pragma once

#include "shared/KelvaneError.h"

#include <QString>

// A file (or the keyring) that could not be written: the place named, the platform's reason.
class WriteError : public KelvaneError {
public:
    WriteError(QString place, QString reason)
        : place_(std::move(place)), reason_(std::move(reason)) {}

    QString place() const { return place_; }
    QString reason() const { return reason_; }
    QString description() const override {
        return QStringLiteral("Could not write %1: %2.").arg(place_, reason_);
    }

private:
    QString place_;
    QString reason_;
};
