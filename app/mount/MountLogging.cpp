#include "app/mount/MountLogging.h"

Q_LOGGING_CATEGORY(lcMount, "com.30814qv.kelvane.mount")
