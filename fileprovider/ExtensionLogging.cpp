#include "fileprovider/ExtensionLogging.h"

Q_LOGGING_CATEGORY(lcExtension, "com.30814qv.kelvane.fileprovider.extension", QtInfoMsg)
Q_LOGGING_CATEGORY(lcEnumerator, "com.30814qv.kelvane.fileprovider.enumerator", QtInfoMsg)
Q_LOGGING_CATEGORY(lcMultipart, "com.30814qv.kelvane.fileprovider.multipart", QtInfoMsg)
