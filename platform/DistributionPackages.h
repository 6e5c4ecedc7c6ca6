#pragma once

#include <QString>
#include <QUrl>

// Where this Linux distribution documents one of its packages, for pointing the user at the
// package to install.
namespace DistributionPackages {

// The distribution's package page for the package, found from the identity in os-release
// (ID, then each ID_LIKE entry); the package's upstream page for an unknown distribution.
QUrl helpPage(const QString& package, const QString& upstream,
              const QString& osReleaseFile = QStringLiteral("/etc/os-release"));

} // namespace DistributionPackages
