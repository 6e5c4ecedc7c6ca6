#include "app/import/ImportLogging.h"

Q_LOGGING_CATEGORY(lcImport, "com.30814qv.kelvane.import")
