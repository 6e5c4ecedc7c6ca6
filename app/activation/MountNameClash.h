#pragma once

#include "app/api/Filespace.h"

#include <QList>
#include <QMap>

// Filespaces that would share one drive folder: every one after the first to ask for a
// folder name, mapped to the name of that first one. The first keeps its drive.
namespace MountNameClash {
QMap<QString, QString> find(const QList<Filespace>& filespaces);
} // namespace MountNameClash
