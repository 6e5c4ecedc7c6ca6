#include "app/views/ViewsLogging.h"

Q_LOGGING_CATEGORY(lcTray, "com.30814qv.kelvane.tray")
