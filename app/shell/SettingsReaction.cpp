#include "app/shell/SettingsReaction.h"

SettingsReaction reactionToSave(const AppSettings& old, const AppSettings& saved) {
    if (saved.storageMode == StorageMode::directMount && saved.mountPoint != old.mountPoint)
        return SettingsReaction::unmountThenActivate;
    if (saved.storageMode != old.storageMode)
        return SettingsReaction::activate;
    return SettingsReaction::none;
}
