#pragma once

#include <QString>
#include <optional>

class FileViewer;

// The application's login item: an XDG autostart entry (~/.config/autostart/kelvane.desktop)
// that starts this installation's `kelvane`. It counts as enabled when it is there and no
// desktop has switched it off (Hidden=true, or GNOME's or MATE's own switch); an entry that
// starts another installation's program is rewritten. Desktops ask no approval for it. A
// program inside an AppImage's temporary mount or on removable media cannot be registered: the
// path is gone once the image is closed or the drive is removed. Main thread.
namespace LaunchAtLogin {

// As the platform numbers them; only the first two occur here.
enum class Status { notRegistered = 0, enabled = 1 };

inline const QString kCannotRegisterText =
    QStringLiteral("Move Kelvane to your Applications folder — a login item can't point inside "
                   "an AppImage or removable drive.");
inline const QString kNotRegisteredText =
    QStringLiteral("Not registered with your desktop — reopen Settings to retry.");

// The running program, which the entry starts.
QString programPath();

bool canRegister();
Status status();
// Enables or disables the login item; the failure's text, or nothing on success.
std::optional<QString> set(bool enabled);
// Brings the login item in line with the setting, writing only when something differs.
void reconcile(bool desired);
// The last failure of set(), cleared by every successful one (process-wide).
std::optional<QString> lastError();
// What the settings window shows about the login item; empty when all is well.
QString problemText();
// Shows the folder of startup entries, where the desktop's own settings look.
void openLoginItemsSettings(FileViewer& viewer);

// The same for a given program path (tests; the plain forms use programPath()).
bool canRegister(const QString& program);
std::optional<QString> set(bool enabled, const QString& program);
void reconcile(bool desired, const QString& program);
QString problemText(const QString& program);
// Whether the entry's Exec starts this program.
bool startsProgram(const QString& program);
// The entry's text for this program.
QString entryText(const QString& program);
// The program an Exec value starts, unquoted and unescaped as desktop entries write it.
QString execProgram(const QString& execValue);

} // namespace LaunchAtLogin
