#pragma once

#include <QString>
#include <optional>

// One line of advice for a sign-in failure whose cause is plain from its text: the address
// names something that is not the workspace's API (a web page, a missing "/api"), or speaks
// the other of http and https. The failure's own text is always shown as it is; this only
// follows it.
namespace ConnectionAdvice {
std::optional<QString> forFailure(const QString& description);
} // namespace ConnectionAdvice
