#include "app/shell/StatusSnapshot.h"

#include "app/activity/SyncStatusReader.h"
#include "app/api/APIClient.h"
#include "app/mount/MountManager.h"
#include "app/shell/AppDelegate.h"

#include <QJsonArray>
#include <QLocale>
#include <QTextStream>

namespace StatusSnapshot {

namespace {

QString kindName(DirectMountState::Kind kind) {
    switch (kind) {
    case DirectMountState::Kind::mounting:
        return QStringLiteral("mounting");
    case DirectMountState::Kind::mounted:
        return QStringLiteral("mounted");
    case DirectMountState::Kind::error:
        return QStringLiteral("error");
    case DirectMountState::Kind::inactive:
        break;
    }
    return QStringLiteral("inactive");
}

QJsonObject activityOf(SyncStatusReader& reader) {
    QJsonObject a{
        {"active", reader.isAnyActive()},     {"uploadBacklogBytes", reader.uploadBacklogBytes()},
        {"uploadRate", reader.uploadRate()},  {"uploading", reader.juicefsUploading()},
        {"staging", reader.juicefsStaging()}, {"downloading", reader.juicefsDownloading()}};
    if (const auto eta = reader.uploadETA())
        a.insert("uploadETA", *eta);
    return a;
}

QString describe(const QJsonObject& state) {
    const QString kind = state.value("state").toString();
    if (kind == QLatin1String("mounted"))
        return "mounted at " + state.value("path").toString();
    if (kind == QLatin1String("error"))
        return "error: " + state.value("message").toString();
    return kind;
}

} // namespace

QJsonObject stateToJson(const DirectMountState& state) {
    QJsonObject o{{"state", kindName(state.kind())}};
    if (state.isMounted())
        o.insert("path", state.path());
    if (state.isError())
        o.insert("message", state.message());
    return o;
}

QJsonObject build(AppDelegate& delegate) {
    APIClient& api = delegate.apiClient();
    MountManager& mounts = delegate.mountManager();
    QJsonObject snapshot{{"running", true},
                         {"signedIn", api.isLoggedIn()},
                         {"aggregate", stateToJson(mounts.directMountState())},
                         {"activity", activityOf(delegate.syncStatus())}};
    if (const auto& user = api.currentUser())
        snapshot.insert("user", user->toJson());
    QJsonArray filespaces;
    const MountStateMap states = mounts.mountStates();
    for (const Filespace& f : mounts.filespaces()) {
        QJsonObject o = f.toJson();
        o.insert("mount_path", mounts.lastBase() + '/' + f.mountName);
        o.insert("mount", stateToJson(states.value(f.id)));
        filespaces.append(o);
    }
    snapshot.insert("filespaces", filespaces);
    return snapshot;
}

QString renderText(const QJsonObject& snapshot) {
    QString text;
    QTextStream out(&text);
    const QJsonObject user = snapshot.value("user").toObject();
    if (!snapshot.value("signedIn").toBool())
        out << "Not signed in.\n";
    else if (user.isEmpty())
        out << "Signed in (user not yet confirmed by the server)\n";
    else
        out << "Signed in as " << user.value("name").toString() << " <"
            << user.value("email").toString() << ">\n";
    // The aggregate's path is just one of the drives; each drive's line below has its own.
    QJsonObject aggregate = snapshot.value("aggregate").toObject();
    aggregate.remove("path");
    out << "Drives: " << describe(aggregate) << "\n";
    for (const QJsonValue& v : snapshot.value("filespaces").toArray())
        out << "  " << v["name"].toString() << ": " << describe(v["mount"].toObject()) << "\n";
    const QJsonObject a = snapshot.value("activity").toObject();
    const QLocale c = QLocale::c();
    out << "Activity: " << (a.value("active").toBool() ? "data is moving" : "idle")
        << "; upload backlog " << c.formattedDataSize(a.value("uploadBacklogBytes").toInteger())
        << " at " << c.formattedDataSize(qint64(a.value("uploadRate").toDouble())) << "/s";
    if (a.contains("uploadETA"))
        out << ", about " << qRound(a.value("uploadETA").toDouble()) << " s left";
    out << "; " << a.value("uploading").toInteger() << " uploading, "
        << a.value("staging").toInteger() << " staged\n";
    return text;
}

} // namespace StatusSnapshot
