#include "app/diagnostics/DiagnosticsLogging.h"

Q_LOGGING_CATEGORY(lcDiagnostics, "com.30814qv.kelvane.diagnostics")
