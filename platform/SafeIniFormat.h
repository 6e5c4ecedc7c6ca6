#pragma once

#include <QSettings>

// QSettings' own INI syntax, read by our parser: what QSettings::IniFormat wrote reads the same
// here, and what this format writes QSettings::IniFormat reads. The difference is safety: Qt's
// reader streams every "@Variant(…)" or "@DateTime(…)" value of a section through QDataStream
// as soon as any key of that section is read, and a few crafted bytes there (a list claiming
// billions of elements) make it ask for gigabytes. Here a streamed value is decoded only when
// its type is a plain scalar, a string, bytes or a date/time, whose readers allocate no more
// than the input holds; any other streamed value reads as absent.
namespace SafeIniFormat {

// A file larger than this is not a defaults file of ours: it reads as empty.
inline constexpr qint64 kMaxFileBytes = 1024 * 1024;

QSettings::Format format();

// The format's two halves, for tests and fuzzing.
bool read(QIODevice& device, QSettings::SettingsMap& map);
bool write(QIODevice& device, const QSettings::SettingsMap& map);

} // namespace SafeIniFormat
