#pragma once

#include <QDateTime>
#include <QJsonObject>
#include <QString>
#include <QUrl>
#include <optional>

// The newest build the feed describes.
struct UpdateRelease {
    QString version; // "?" when the feed has none
    QString build;
    QUrl url;
    std::optional<QDateTime> published;

    bool operator==(const UpdateRelease&) const = default;
    QJsonObject toJson() const;
    static UpdateRelease fromJson(const QJsonObject& o);
};

// What the updater is doing or found last.
struct UpdateState {
    enum class Kind { idle, checking, available, upToDate, downloading, installing, failed };

    Kind kind = Kind::idle;
    UpdateRelease release{}; // available
    QString message{};       // failed

    static UpdateState available(UpdateRelease r) { return {Kind::available, std::move(r), {}}; }
    static UpdateState failed(QString text) { return {Kind::failed, {}, std::move(text)}; }
    bool is(Kind k) const { return kind == k; }
    bool operator==(const UpdateState&) const = default;

    static QString name(Kind kind);
    // {"state": name, "release": {...} when available, "message": text when failed}.
    QJsonObject toJson() const;
    static UpdateState fromJson(const QJsonObject& o);
};

// The updater's state in the application's words, for the command line and the logs: the
// outcome of a manual check, or of an install attempt.
namespace UpdateReport {
QString afterCheck(const UpdateState& state, const QString& currentVersion,
                   const QString& currentBuild);
QString afterInstall(const UpdateState& state, const QString& currentVersion,
                     const QString& currentBuild);
// One line for `kelvane status`.
QString statusLine(const UpdateState& state, const QString& currentVersion,
                   const QString& currentBuild);
} // namespace UpdateReport
