#pragma once

#include <QString>

// Makes this installation of Kelvane the desktop's handler of "kelvane:" links: a desktop entry
// declaring x-scheme-handler/kelvane, named the default in mimeapps.list (what `xdg-mime
// default` writes), so no tool has to be installed for it.
namespace SchemeHandler {

inline const QString kMimeType = QStringLiteral("x-scheme-handler/kelvane");
inline const QString kEntryName = QStringLiteral("kelvane.desktop");

// The entry for the program at this absolute path.
QString desktopEntry(const QString& program);
// mimeapps.list with Kelvane as the scheme's default, everything else kept as it was.
QString withDefaultHandler(const QString& mimeApps);
// Writes both files when they differ from what is wanted; false when one cannot be written.
bool install(const QString& program);

} // namespace SchemeHandler
