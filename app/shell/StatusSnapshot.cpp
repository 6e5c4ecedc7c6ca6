#include "app/shell/StatusSnapshot.h"

#include "app/activation/StorageActivation.h"
#include "app/activity/SyncStatusReader.h"
#include "app/api/APIClient.h"
#include "app/import/BulkImporter.h"
#include "app/import/ImportAction.h"
#include "app/import/ImportText.h"
#include "app/mount/MountManager.h"
#include "app/update/Updater.h"
#include "platform/LaunchAtLogin.h"

#include <QJsonArray>
#include <QLocale>
#include <QMetaEnum>
#include <QTextStream>
#include <cmath>

namespace StatusSnapshot {

namespace {

// Values read from drives may be anything; beyond this they are not sizes worth printing.
constexpr double kLargestBytes = 9.0e18;

qint64 asBytes(double value) {
    if (!std::isfinite(value) || value <= 0)
        return 0;
    return value >= kLargestBytes ? qint64(kLargestBytes) : qint64(value);
}

QJsonObject activityOf(const SyncStatusReader& reader) {
    QJsonObject a{
        {"active", reader.isAnyActive()},     {"uploadBacklogBytes", reader.uploadBacklogBytes()},
        {"uploadRate", reader.uploadRate()},  {"uploading", reader.juicefsUploading()},
        {"staging", reader.juicefsStaging()}, {"downloading", reader.juicefsDownloading()}};
    if (const auto eta = reader.uploadETA())
        a.insert("uploadETA", *eta);
    return a;
}

// The extension's transfers as its ledger tells them; nothing while it is idle.
std::optional<QJsonObject> fileProviderOf(const SyncStatusReader& reader) {
    const SyncStatus& status = reader.status();
    if (status.isIdle())
        return std::nullopt;
    QJsonArray transfers;
    for (const SyncTransfer& t : status.transfers)
        transfers.append(QJsonObject{{"path", t.path},
                                     {"direction", SyncTransfer::rawValue(t.direction)},
                                     {"bytesTransferred", t.bytesTransferred},
                                     {"totalBytes", t.totalBytes}});
    return QJsonObject{{"uploads", reader.uploadCount()},
                       {"downloads", reader.downloadCount()},
                       {"enumerations", status.activeEnumerations},
                       {"transfers", transfers}};
}

void renderFileProvider(QTextStream& out, const QJsonObject& f) {
    const QLocale c = QLocale::c();
    out << "File provider: " << f.value("uploads").toInteger() << " uploading, "
        << f.value("downloads").toInteger() << " downloading, "
        << f.value("enumerations").toInteger() << " listing\n";
    for (const QJsonValue& v : f.value("transfers").toArray()) {
        const QJsonObject t = v.toObject();
        out << "  " << t.value("direction").toString() << ' ' << t.value("path").toString() << ": "
            << c.formattedDataSize(asBytes(t.value("bytesTransferred").toDouble())) << " of "
            << c.formattedDataSize(asBytes(t.value("totalBytes").toDouble())) << "\n";
    }
}

QString phaseName(StorageActivation::Phase phase) {
    return QString::fromLatin1(
        QMetaEnum::fromType<StorageActivation::Phase>().valueToKey(int(phase)));
}

QString etaText(double seconds) {
    if (!std::isfinite(seconds) || seconds < 0)
        return {};
    if (seconds >= 3600)
        return QStringLiteral(", about %1 h left").arg(QString::number(seconds / 3600, 'f', 0));
    return QStringLiteral(", about %1 s left").arg(QString::number(seconds, 'f', 0));
}

void renderSession(QTextStream& out, const QJsonObject& snapshot) {
    const QJsonObject user = snapshot.value("user").toObject();
    if (!snapshot.value("signedIn").toBool())
        out << "Not signed in.\n";
    else if (user.isEmpty())
        out << "Signed in (user not yet confirmed by the server)\n";
    else
        out << "Signed in as " << user.value("name").toString() << " <"
            << user.value("email").toString() << ">\n";
    const QString phase = snapshot.value("phase").toString();
    if (phase == QLatin1String("connecting"))
        out << "Connecting to " << snapshot.value("server").toString() << "…\n";
    else if (phase == QLatin1String("waitingToRetry"))
        out << "The server could not be reached; trying again shortly.\n";
}

int renderDrives(QTextStream& out, const QJsonObject& snapshot) {
    int mounted = 0;
    // The aggregate's path is just one of the drives; each drive's line below has its own.
    DirectMountState aggregate = stateFromJson(snapshot.value("aggregate").toObject());
    if (snapshot.contains("aggregate"))
        out << "Drives: "
            << (aggregate.isMounted() ? QStringLiteral("mounted") : describe(aggregate)) << "\n";
    for (const QJsonValue& v : snapshot.value("filespaces").toArray()) {
        const DirectMountState state = stateFromJson(v["mount"].toObject());
        mounted += state.isMounted() ? 1 : 0;
        out << "  " << v["name"].toString() << ": ";
        if (v["unmounting"].toBool())
            out << "unmounting (uploading what is staged first)\n";
        else
            out << describe(state) << "\n";
    }
    for (const QJsonValue& v : snapshot.value("leftoverMounts").toArray()) {
        ++mounted;
        out << "  left mounted by an earlier run: " << v.toString() << "\n";
    }
    return mounted;
}

void renderActivity(QTextStream& out, const QJsonObject& a) {
    const QLocale c = QLocale::c();
    out << "Activity: " << (a.value("active").toBool() ? "data is moving" : "idle")
        << "; upload backlog "
        << c.formattedDataSize(asBytes(a.value("uploadBacklogBytes").toDouble())) << " at "
        << c.formattedDataSize(asBytes(a.value("uploadRate").toDouble())) << "/s";
    if (a.contains("uploadETA"))
        out << etaText(a.value("uploadETA").toDouble());
    out << "; " << a.value("uploading").toInteger() << " uploading, "
        << a.value("staging").toInteger() << " staged\n";
}

QString finderMenuText(const QString& name) {
    for (const auto state : {FinderExtensionState::enabled, FinderExtensionState::disabled,
                             FinderExtensionState::notInstalled}) {
        if (FinderExtensionStates::name(state) == name)
            return FinderExtensionStates::describe(state);
    }
    return name;
}

void renderImport(QTextStream& out, const QJsonObject& snapshot) {
    const QJsonObject o = snapshot.value("import").toObject();
    const ImportState state = importStateFromJson(o);
    if (state.kind() == ImportState::Kind::idle)
        return;
    out << "Import of " << o.value("source").toString() << " into "
        << o.value("filespace").toString() << ": " << ImportText::describe(state) << "\n";
}

void renderLoginItem(QTextStream& out, const QJsonObject& snapshot) {
    const QJsonObject o = snapshot.value("loginItem").toObject();
    if (o.isEmpty())
        return;
    out << "Launch at login: " << (o.value("setting").toBool() ? "on" : "off");
    if (o.value("setting").toBool() && o.contains("problem"))
        out << " (" << o.value("problem").toString() << ")";
    out << "\n";
}

QJsonObject loginItemOf(bool setting) {
    QJsonObject o{{"setting", setting}, {"status", int(LaunchAtLogin::status())}};
    if (const QString problem = LaunchAtLogin::problemText(); !problem.isEmpty())
        o.insert("problem", problem);
    return o;
}

} // namespace

QJsonObject build(const Sources& sources) {
    const APIClient& api = sources.api;
    const MountManager& mounts = sources.mounts;
    QJsonObject snapshot{{"running", true},
                         {"signedIn", api.isLoggedIn()},
                         {"phase", phaseName(sources.activation.phase())},
                         {"aggregate", toJson(mounts.directMountState())},
                         {"activity", activityOf(sources.activity)}};
    if (const auto base = api.baseURL())
        snapshot.insert("server", base->toString());
    if (const auto& user = api.currentUser())
        snapshot.insert("user", user->toJson());
    QJsonArray filespaces;
    const MountStateMap states = mounts.mountStates();
    const QStringList unmounting = mounts.unmounting();
    for (const Filespace& f : mounts.filespaces()) {
        QJsonObject o = f.toJson();
        o.insert("mount_path", mounts.lastBase() + '/' + f.mountName);
        o.insert("mount", toJson(states.value(f.id)));
        if (unmounting.contains(f.id))
            o.insert("unmounting", true);
        filespaces.append(o);
    }
    snapshot.insert("filespaces", filespaces);
    if (sources.finderExtension)
        snapshot.insert("finderExtension", FinderExtensionStates::name(*sources.finderExtension));
    if (const auto fileProvider = fileProviderOf(sources.activity))
        snapshot.insert("fileProvider", *fileProvider);
    if (!mounts.leftoverMounts().isEmpty())
        snapshot.insert("leftoverMounts", QJsonArray::fromStringList(mounts.leftoverMounts()));
    if (sources.importer)
        snapshot.insert("import", ImportAction::snapshot(*sources.importer));
    if (sources.launchAtLogin)
        snapshot.insert("loginItem", loginItemOf(*sources.launchAtLogin));
    if (const Updater* updater = sources.updater) {
        QJsonObject update = updater->state().toJson();
        update.insert("currentVersion", updater->bundleVersion());
        update.insert("currentBuild", updater->bundleBuild());
        snapshot.insert("update", update);
    }
    return snapshot;
}

QString renderText(const QJsonObject& snapshot) {
    QString text;
    QTextStream out(&text);
    renderSession(out, snapshot);
    const int mounted = renderDrives(out, snapshot);
    if (!snapshot.value("signedIn").toBool() && mounted > 0)
        out << (mounted == 1 ? QStringLiteral("1 drive is still mounted.")
                             : QStringLiteral("%1 drives are still mounted.").arg(mounted))
            << " Sign in again, or quit Kelvane to unmount.\n";
    if (snapshot.contains("activity"))
        renderActivity(out, snapshot.value("activity").toObject());
    if (snapshot.contains("finderExtension"))
        out << "File manager menu: " << finderMenuText(snapshot.value("finderExtension").toString())
            << "\n";
    renderImport(out, snapshot);
    renderLoginItem(out, snapshot);
    if (snapshot.contains("update")) {
        const QJsonObject u = snapshot.value("update").toObject();
        out << "Updates: "
            << UpdateReport::statusLine(UpdateState::fromJson(u),
                                        u.value("currentVersion").toString(),
                                        u.value("currentBuild").toString())
            << "\n";
    }
    if (snapshot.contains("fileProvider"))
        renderFileProvider(out, snapshot.value("fileProvider").toObject());
    return text;
}

} // namespace StatusSnapshot
