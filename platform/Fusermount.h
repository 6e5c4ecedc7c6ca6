#pragma once

#include <QCoroTask>
#include <QString>
#include <QStringList>

// Detaching FUSE mounts whose engine is gone or must not be waited for.
namespace Fusermount {

// fusermount3 first, the older fusermount after it.
QStringList defaultHelpers();

// `fusermount3 -u -z PATH` (the first helper that exists, the next one when it fails): the
// mount leaves the namespace at once, also when its daemon is dead. True when a helper succeeded.
QCoro::Task<bool> detachLazily(QString mountPoint, QStringList helpers = defaultHelpers());

} // namespace Fusermount
