#pragma once

#include <QLoggingCategory>

// The platform layer's category; every other module declares its own beside its code, named
// subsystem + "." + category (com.30814qv.kelvane.mount, …).
Q_DECLARE_LOGGING_CATEGORY(lcPlatform)

namespace Logging {
// Routes Qt messages to standard error with the category name in front.
void install();
} // namespace Logging
