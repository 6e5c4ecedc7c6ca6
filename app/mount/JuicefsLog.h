#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

// Failure reasons the engine leaves in its log (~/.juicefs/juicefs.log).
namespace JuicefsLog {

// The reason without a trailing source tag such as "[mount.go:210]" (users act on the text,
// not on where in the engine it was written).
QString withoutSourceTag(const QString& reason);

// For a line marked "<FATAL>" or "<ERROR>": the text after the first "<FATAL>:" (else after the
// first "<ERROR>:"), trimmed, or the whole line when neither colon form is present. Nothing for
// an unmarked line.
std::optional<QString> reasonFromLine(const QByteArray& line);

// The reason of the last marked line of the text.
std::optional<QString> lastFatal(const QByteArray& text);

// What a failed engine run printed: its last marked line's reason, else its last line.
std::optional<QString> reasonFromOutput(const QByteArray& output);

// The same for a log file; only its tail is read. Nothing when the file cannot be read or its
// tail holds no marked line.
std::optional<QString> lastFatalFromFile(const QString& path);
// The last reason logged by one engine process ("juicefs[PID]" in the line).
std::optional<QString> lastFatalOfProcess(const QString& path, qint64 pid);

} // namespace JuicefsLog
