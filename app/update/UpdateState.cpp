#include "app/update/UpdateState.h"

#include "shared/Iso8601.h"

QJsonObject UpdateRelease::toJson() const {
    QJsonObject o{{"version", version}, {"build", build}, {"url", url.toString()}};
    if (published)
        o.insert("published", Iso8601::format(*published));
    return o;
}

UpdateRelease UpdateRelease::fromJson(const QJsonObject& o) {
    return {o.value("version").toString(), o.value("build").toString(),
            QUrl(o.value("url").toString()), Iso8601::parse(o.value("published").toString())};
}

QString UpdateState::name(Kind kind) {
    switch (kind) {
    case Kind::idle:
        return QStringLiteral("idle");
    case Kind::checking:
        return QStringLiteral("checking");
    case Kind::available:
        return QStringLiteral("available");
    case Kind::upToDate:
        return QStringLiteral("upToDate");
    case Kind::downloading:
        return QStringLiteral("downloading");
    case Kind::installing:
        return QStringLiteral("installing");
    case Kind::failed:
        return QStringLiteral("failed");
    }
    return {};
}

QJsonObject UpdateState::toJson() const {
    QJsonObject o{{"state", name(kind)}};
    if (kind == Kind::available)
        o.insert("release", release.toJson());
    if (kind == Kind::failed)
        o.insert("message", message);
    return o;
}

UpdateState UpdateState::fromJson(const QJsonObject& o) {
    const QString text = o.value("state").toString();
    for (const Kind k : {Kind::idle, Kind::checking, Kind::available, Kind::upToDate,
                         Kind::downloading, Kind::installing, Kind::failed}) {
        if (name(k) == text)
            return {k, UpdateRelease::fromJson(o.value("release").toObject()),
                    o.value("message").toString()};
    }
    return {};
}

namespace UpdateReport {

namespace {

QString running(const QString& version, const QString& build) {
    return "You're running " + version + " (" + build + ").";
}

} // namespace

QString afterCheck(const UpdateState& state, const QString& currentVersion,
                   const QString& currentBuild) {
    switch (state.kind) {
    case UpdateState::Kind::available:
        return "Kelvane " + state.release.version + " is available\n" +
               running(currentVersion, currentBuild) + " Build " + state.release.build +
               " installs with `kelvane update --install`.";
    case UpdateState::Kind::failed:
        return "Couldn't check for updates\n" + state.message;
    case UpdateState::Kind::upToDate:
        return "You're up to date\nKelvane " + currentVersion + " (" + currentBuild +
               ") is the latest build.";
    default:
        return "Kelvane is busy with an update (" + UpdateState::name(state.kind) + ").";
    }
}

QString afterInstall(const UpdateState& state, const QString& currentVersion,
                     const QString& currentBuild) {
    switch (state.kind) {
    case UpdateState::Kind::installing:
        return QStringLiteral("Kelvane is restarting to finish the update; your drives are "
                              "unmounted for a few seconds.");
    case UpdateState::Kind::failed:
        return "Update failed\n" + state.message;
    default:
        return afterCheck(state, currentVersion, currentBuild);
    }
}

QString statusLine(const UpdateState& state, const QString& currentVersion,
                   const QString& currentBuild) {
    const QString current = "Kelvane " + currentVersion + " (" + currentBuild + ")";
    switch (state.kind) {
    case UpdateState::Kind::available:
        return current + "; " + state.release.version + " (" + state.release.build +
               ") is available";
    case UpdateState::Kind::upToDate:
        return current + ", up to date";
    case UpdateState::Kind::failed:
        return current + "; the last update attempt failed: " + state.message;
    case UpdateState::Kind::idle:
        return current;
    default:
        return current + "; update " + UpdateState::name(state.kind);
    }
}

} // namespace UpdateReport
