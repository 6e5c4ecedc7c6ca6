#pragma once

#include <QString>

// Whether the file-manager menu entries are there and switched on.
enum class FinderExtensionState { enabled, disabled, notInstalled };

namespace FinderExtensionStates {
// "enabled", "disabled", "notInstalled": the one text form (status JSON, logs, views).
QString name(FinderExtensionState state);
// The words a person reads.
QString describe(FinderExtensionState state);
} // namespace FinderExtensionStates
