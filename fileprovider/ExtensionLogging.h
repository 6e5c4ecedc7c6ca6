#pragma once

#include <QLoggingCategory>

// The extension's log channels: subsystem com.30814qv.kelvane.fileprovider, one category each.
Q_DECLARE_LOGGING_CATEGORY(lcExtension)
Q_DECLARE_LOGGING_CATEGORY(lcEnumerator)
Q_DECLARE_LOGGING_CATEGORY(lcMultipart)
