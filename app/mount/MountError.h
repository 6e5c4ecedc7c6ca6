#pragma once

#include "shared/KelvaneError.h"

// Failures of the direct-mount subsystem, each with the text the user sees.
class MountError : public KelvaneError {
public:
    enum class Kind {
        juicefsDownloadFailed,
        mountPointIsVolumeRoot,
        missingJuicefs,
        missingFUSE,
        mountPointIsSystemRoot,
        unsafeServerValue,
        mountPointNotAbsolute,
        mountNameClash,
    };

    static MountError juicefsDownloadFailed(QString detail) {
        return {Kind::juicefsDownloadFailed, std::move(detail)};
    }
    static MountError mountPointIsVolumeRoot(QString path) {
        return {Kind::mountPointIsVolumeRoot, std::move(path)};
    }
    static MountError missingJuicefs() { return {Kind::missingJuicefs, {}}; }
    static MountError missingFUSE() { return {Kind::missingFUSE, {}}; }
    static MountError mountPointIsSystemRoot() { return {Kind::mountPointIsSystemRoot, {}}; }
    // A server-sent folder name or engine argument that would reach outside its place (a "/",
    // "..", or a leading "-" the engine would read as an option).
    static MountError unsafeServerValue(QString value) {
        return {Kind::unsafeServerValue, std::move(value)};
    }

    // A mount folder given as a relative path would land wherever the program happens to run.
    static MountError mountPointNotAbsolute(QString path) {
        return {Kind::mountPointNotAbsolute, std::move(path)};
    }
    // Two filespaces of the workspace ask for the same folder name; payload: "name|other".
    static MountError mountNameClash(QString mountName, QString otherFilespace) {
        return {Kind::mountNameClash, mountName + QLatin1Char('|') + otherFilespace};
    }

    Kind kind() const { return kind_; }
    // The detail, path or name the case carries; empty for the others.
    QString payload() const { return payload_; }
    QString description() const override;

private:
    MountError(Kind kind, QString payload) : kind_(kind), payload_(std::move(payload)) {}
    Kind kind_;
    QString payload_;
};
