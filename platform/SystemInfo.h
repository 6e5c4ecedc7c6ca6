#pragma once

#include <QString>

// What the system says about itself, for reports.
namespace SystemInfo {

// PRETTY_NAME of /etc/os-release (or /usr/lib/os-release), e.g. "Debian GNU/Linux 12
// (bookworm)"; "Linux" when neither names one.
QString osPrettyName();
// The machine hardware name, as `uname -m` prints it (x86_64, aarch64).
QString machine();

} // namespace SystemInfo
