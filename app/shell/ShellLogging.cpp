#include "app/shell/ShellLogging.h"

Q_LOGGING_CATEGORY(lcShell, "com.30814qv.kelvane.shell")
