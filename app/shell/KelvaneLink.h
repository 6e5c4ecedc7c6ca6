#pragma once

#include <QString>
#include <optional>

// Links with the application's own scheme, "kelvane:", as web pages and other programs hand
// them over: kelvane://open/Team/Plans and kelvane://Team/Plans both name /Team/Plans.
namespace KelvaneLink {

inline const QString kScheme = QStringLiteral("kelvane");

// The workspace path a link names, percent-decoded (kept encoded when the encoding is broken);
// nothing when the text is not a URL or its scheme is not exactly "kelvane".
std::optional<QString> workspacePath(const QString& text);

// Removes percent-encoding; nothing when a sequence is malformed or the bytes are not UTF-8.
std::optional<QString> removingPercentEncoding(const QString& text);

} // namespace KelvaneLink
