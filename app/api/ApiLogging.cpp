#include "app/api/ApiLogging.h"

Q_LOGGING_CATEGORY(lcApi, "com.30814qv.kelvane.api")
