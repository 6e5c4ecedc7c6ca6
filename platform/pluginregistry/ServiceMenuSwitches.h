#pragma once

#include <QByteArray>
#include <QStringList>

// Dolphin's per-entry switches: the [Show] group of kservicemenurc, where its context-menu
// settings write "<action key>=false" for an entry the user turned off.
namespace ServiceMenuSwitches {

// Whether the file's [Show] group turns any of the action keys off.
bool anySwitchedOff(const QByteArray& file, const QStringList& keys);
// The file without the [Show] lines of those keys; everything else stays as it was.
QByteArray withKeysShown(const QByteArray& file, const QStringList& keys);

} // namespace ServiceMenuSwitches
