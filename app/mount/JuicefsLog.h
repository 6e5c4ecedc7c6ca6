#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

// Failure reasons the engine leaves in its log (~/.juicefs/juicefs.log).
namespace JuicefsLog {

// For a line marked "<FATAL>" or "<ERROR>": the text after the first "<FATAL>:" (else after the
// first "<ERROR>:"), trimmed, or the whole line when neither colon form is present. Nothing for
// an unmarked line.
std::optional<QString> reasonFromLine(const QByteArray& line);

// The reason of the last marked line of the text.
std::optional<QString> lastFatal(const QByteArray& text);

// The same for a log file, read backwards in blocks so a large log costs only its tail.
// Nothing when the file cannot be read or holds no marked line.
std::optional<QString> lastFatalFromFile(const QString& path);

} // namespace JuicefsLog
