#pragma once

#include "app/settings/AppSettings.h"

// What a settings save asks of the drives: a new mount point in direct-mount mode means
// unmounting from the old one first; a changed mode re-activates (activation tears the other
// mode down itself); anything else leaves the drives alone.
enum class SettingsReaction { none, activate, unmountThenActivate };

SettingsReaction reactionToSave(const AppSettings& old, const AppSettings& saved);
