#pragma once

#include "app/shell/Alert.h"

#include <QtGlobal>
#include <optional>

// What asking to quit shows while data has not reached the cloud yet.
namespace QuitGuard {

inline const QString kWait = QStringLiteral("Wait");
inline const QString kQuitAnyway = QStringLiteral("Quit Anyway");

// "5 MB" when bytes are known to be waiting, else "1 block" / "3 blocks".
QString pendingText(qint64 backlogBytes, qint64 blocks);
// The warning to show, or nothing when nothing is pending and the quit goes ahead at once.
std::optional<Alert> alertFor(qint64 backlogBytes, qint64 blocks);

} // namespace QuitGuard
