#include "findersync/FinderLogging.h"

Q_LOGGING_CATEGORY(lcFinder, "com.30814qv.kelvane.findersync.finder")
