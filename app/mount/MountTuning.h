#pragma once

#include <QMap>
#include <QString>
#include <QStringList>

// The engine's performance options: built-in defaults the server may override, never extend.
namespace MountTuning {

// The 17 options (names without dashes) and their default values.
const QMap<QString, QString>& defaults();

// The defaults with the server's overrides merged in. Names may carry one leading "--"; unknown
// names and blank values are logged and dropped. Never fails.
QMap<QString, QString> resolved(const QMap<QString, QString>& overrides);

// "--name value" pairs in ascending name order.
QStringList arguments(const QMap<QString, QString>& tuning);

} // namespace MountTuning
