#pragma once

#include <QString>

// The byte and duration texts of the popover and the settings window.
namespace Formatting {

// Powers of 1024; one decimal only for gigabytes: "1.5 GB", "12 MB", "1 KB".
QString formatBytes(qint64 bytes);
// "1 sec" … "59 sec", "2 min", "1 hr", "1 hr 1 min"; never less than one second.
QString formatDuration(double seconds);
// A status text of 41 characters or more becomes its first 37 and "…".
QString cutStatusMessage(const QString& message);

} // namespace Formatting
