#pragma once

#include "platform/fileprovider/host/HostSession.h"

// How the extension's own errors reach the system: the files API's errors under their type,
// network errors with Qt's code, the framework's errors as they are.
namespace ExtensionErrors {
std::optional<HostErrorInfo> describe(std::exception_ptr error);
} // namespace ExtensionErrors
