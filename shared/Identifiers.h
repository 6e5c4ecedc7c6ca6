#pragma once

#include <QString>

namespace Identifiers {
inline const QString kApp = QStringLiteral("com.30814qv.kelvane");
inline const QString kFileProvider = QStringLiteral("com.30814qv.kelvane.fileprovider");
inline const QString kFinderSync = QStringLiteral("com.30814qv.kelvane.findersync");
} // namespace Identifiers
