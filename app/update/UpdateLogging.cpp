#include "app/update/UpdateLogging.h"

Q_LOGGING_CATEGORY(lcUpdate, "com.30814qv.kelvane.update")
