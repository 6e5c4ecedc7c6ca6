#pragma once

#include "app/api/Filespace.h"

#include <QCoroTask>
#include <QDateTime>
#include <QString>
#include <QUrl>
#include <optional>

// What the application's commands need of the folder importer and of the updater. Each
// component is reached through a thin adapter over its own class, so the commands and their
// alerts are tested with fakes.

class ImportControl {
public:
    virtual ~ImportControl() = default;
    // Copies the folder into the filespace with the engine found at juicefs; progress and the
    // outcome are the importer's published state.
    virtual void start(const QString& source, const Filespace& filespace, const QString& juicefs,
                       const std::optional<QString>& destinationSubpath) = 0;
};

// A release the feed offers, as the prompts show it.
struct ReleaseInfo {
    QString version;
    QString build;
    QUrl url;
    std::optional<QDateTime> published;
    bool operator==(const ReleaseInfo&) const = default;
};

struct UpdateStatus {
    enum class Kind { idle, checking, upToDate, available, downloading, installing, failed };
    Kind kind = Kind::idle;
    // With available.
    std::optional<ReleaseInfo> release;
    // With failed.
    QString message;
};

class UpdateControl {
public:
    virtual ~UpdateControl() = default;
    virtual void setSiteURL(const std::optional<QString>& siteURL) = 0;
    virtual QCoro::Task<> check(bool manual) = 0;
    virtual UpdateStatus state() const = 0;
    virtual QCoro::Task<> downloadAndInstall(ReleaseInfo release) = 0;
    virtual QString currentVersion() const = 0;
    virtual QString currentBuild() const = 0;
};
