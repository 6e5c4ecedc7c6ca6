#pragma once

#include "app/finder/FinderExtensionState.h"

#include <QJsonObject>
#include <optional>

class APIClient;
class BulkImporter;
class MountManager;
class StorageActivation;
class SyncStatusReader;
class Updater;

// What a running instance tells `kelvane status`: the session, what the activation is doing,
// every drive's state and the activity values, as JSON; and the text form of that JSON.
namespace StatusSnapshot {

struct Sources {
    const APIClient& api;
    const MountManager& mounts;
    const SyncStatusReader& activity;
    const StorageActivation& activation;
    std::optional<FinderExtensionState> finderExtension = std::nullopt;
    // Optional parts: the folder import and the login item (with the setting's value).
    const BulkImporter* importer = nullptr;
    std::optional<bool> launchAtLogin = std::nullopt;
    const Updater* updater = nullptr;
};

QJsonObject build(const Sources& sources);
// Human-readable form of a snapshot (or of the offline report, which lacks the drive states).
QString renderText(const QJsonObject& snapshot);

} // namespace StatusSnapshot
