#pragma once

#include <QString>

namespace Identifiers {
inline const QString kApp = QStringLiteral("com.30814qv.kelvane");
inline const QString kFileProvider = QStringLiteral("com.30814qv.kelvane.fileprovider");
inline const QString kFinderSync = QStringLiteral("com.30814qv.kelvane.findersync");
// The one file-provider domain the application registers and the extension serves.
inline const QString kFileProviderDomain = QStringLiteral("com.30814qv.kelvane.domain");
} // namespace Identifiers
