#include "app/finder/FinderLogging.h"

Q_LOGGING_CATEGORY(lcFinderExtension, "com.30814qv.kelvane.finder")
