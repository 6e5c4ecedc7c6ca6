#pragma once

#include <QString>

// The framework's well-known item identifiers, with the raw values the extension and its host
// exchange.
namespace FileProviderItemIdentifier {
inline const QString kRootContainer = QStringLiteral("NSFileProviderRootContainerItemIdentifier");
inline const QString kWorkingSet =
    QStringLiteral("NSFileProviderWorkingSetContainerItemIdentifier");
inline const QString kTrashContainer = QStringLiteral("NSFileProviderTrashContainerItemIdentifier");
} // namespace FileProviderItemIdentifier
