#pragma once

#include <QLocale>
#include <QString>

// Byte counts as the desktop's file dialogs show them: powers of 1000, whole kilobytes, one
// decimal for megabytes and two above, trailing zeros dropped ("5 MB", "1.5 MB", "1.23 GB").
namespace ByteCountText {
QString fileStyle(qint64 bytes, const QLocale& locale = QLocale());
} // namespace ByteCountText
