#pragma once

#include <QJsonObject>
#include <QString>
#include <optional>

// The instance-channel request that hands text to the running Kelvane, which keeps it on the
// clipboard for as long as it runs: {"command": "copyToClipboard", "text": …}, answered with
// {"ok": true} or {"error": …}.
namespace ClipboardRequest {

inline const QString kCommand = QStringLiteral("copyToClipboard");
// More than any list of links, and within the channel's 64 KiB request limit; a larger text
// is refused, not truncated (the caller then hands it to kelvane-clipboard).
inline constexpr qsizetype kMaxTextLength = 16 * 1024;

QJsonObject make(const QString& text);
// The text of a request, or nothing when it has none or too much.
std::optional<QString> textOf(const QJsonObject& request);
bool isAccepted(const QJsonObject& reply);

} // namespace ClipboardRequest
