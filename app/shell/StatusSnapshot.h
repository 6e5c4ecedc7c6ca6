#pragma once

#include <QJsonObject>

class AppDelegate;
class DirectMountState;

// What a running instance tells `kelvane status`: the session, every drive's state and the
// activity values, as JSON.
namespace StatusSnapshot {

QJsonObject build(AppDelegate& delegate);
QJsonObject stateToJson(const DirectMountState& state);
// Human-readable form of a snapshot (or of the offline report, which lacks the drive states).
QString renderText(const QJsonObject& snapshot);

} // namespace StatusSnapshot
