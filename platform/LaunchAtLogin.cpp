#include "platform/LaunchAtLogin.h"

#include "platform/AtomicFile.h"
#include "platform/FileViewer.h"
#include "platform/Logging.h"
#include "platform/Paths.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>

namespace LaunchAtLogin {

namespace {

std::optional<QString> lastError_;

// Characters that desktop entries require an Exec argument to quote.
const QString kReserved = QStringLiteral(" \t\n\"'\\><~|&;$*?#()`");

QHash<QString, QString> readEntry() {
    QFile file(Paths::autostartEntry());
    QHash<QString, QString> keys;
    if (!file.open(QIODevice::ReadOnly))
        return keys;
    bool inMainGroup = false;
    for (const QString& raw : QString::fromUtf8(file.readAll()).split(u'\n')) {
        const QString line = raw.trimmed();
        if (line.startsWith(u'[')) {
            inMainGroup = line == QLatin1String("[Desktop Entry]");
            continue;
        }
        const qsizetype eq = line.indexOf(u'=');
        if (inMainGroup && eq > 0 && !line.startsWith(u'#'))
            keys.insert(line.left(eq).trimmed(), line.mid(eq + 1).trimmed());
    }
    return keys;
}

bool switchedOff(const QHash<QString, QString>& keys) {
    return keys.value("Hidden").compare("true", Qt::CaseInsensitive) == 0 ||
           keys.value("X-GNOME-Autostart-enabled").compare("false", Qt::CaseInsensitive) == 0 ||
           keys.value("X-MATE-Autostart-enabled").compare("false", Qt::CaseInsensitive) == 0;
}

// A string value as desktop entries escape it: "\s", "\n", "\t", "\r", "\\".
QString unescapeValue(const QString& value) {
    QString out;
    for (qsizetype i = 0; i < value.size(); ++i) {
        if (value[i] != u'\\' || i + 1 == value.size()) {
            out += value[i];
            continue;
        }
        const QChar next = value[++i];
        out += next == u's'   ? QChar(u' ')
               : next == u'n' ? QChar(u'\n')
               : next == u't' ? QChar(u'\t')
               : next == u'r' ? QChar(u'\r')
                              : next;
    }
    return out;
}

QString escapeValue(QString value) {
    return value.replace(u'\\', QStringLiteral("\\\\"));
}

QString quotedArgument(const QString& program) {
    QString arg = program;
    arg.replace(u'%', QStringLiteral("%%"));
    if (std::none_of(arg.cbegin(), arg.cend(), [](QChar c) { return kReserved.contains(c); }))
        return arg;
    QString quoted = QStringLiteral("\"");
    for (const QChar c : arg) {
        if (c == u'"' || c == u'`' || c == u'$' || c == u'\\')
            quoted += u'\\';
        quoted += c;
    }
    return quoted + u'"';
}

std::optional<QString> fail(bool enabling, const QString& message) {
    lastError_ = message;
    qCWarning(lcPlatform).noquote() << QStringLiteral("[Kelvane] launch at login (%1): %2")
                                           .arg(enabling ? "register" : "unregister", message);
    return message;
}

std::optional<QString> succeed() {
    lastError_.reset();
    return std::nullopt;
}

} // namespace

QString programPath() {
    return QCoreApplication::applicationFilePath();
}

bool canRegister(const QString& program) {
    for (const char* prefix : {"/tmp/.mount_", "/media/", "/run/media/"})
        if (program.startsWith(QLatin1String(prefix)))
            return false;
    return true;
}

bool canRegister() {
    return canRegister(programPath());
}

Status status() {
    if (!QFileInfo::exists(Paths::autostartEntry()))
        return Status::notRegistered;
    return switchedOff(readEntry()) ? Status::notRegistered : Status::enabled;
}

QString execProgram(const QString& execValue) {
    const QString exec = unescapeValue(execValue).trimmed();
    QString program;
    if (!exec.startsWith(u'"')) {
        program = exec.section(u' ', 0, 0);
    } else {
        for (qsizetype i = 1; i < exec.size() && exec[i] != u'"'; ++i) {
            if (exec[i] == u'\\' && i + 1 < exec.size())
                ++i;
            program += exec[i];
        }
    }
    return program.replace(QStringLiteral("%%"), QStringLiteral("%"));
}

bool startsProgram(const QString& program) {
    return execProgram(readEntry().value("Exec")) == program;
}

QString entryText(const QString& program) {
    // The delay keys give the panel's tray time to come up before Kelvane asks for it.
    return QStringLiteral("[Desktop Entry]\n"
                          "Type=Application\n"
                          "Name=Kelvane\n"
                          "Comment=Your team's filespaces as drives\n"
                          "Exec=%1\n"
                          "TryExec=%2\n"
                          "Icon=kelvane\n"
                          "Terminal=false\n"
                          "Hidden=false\n"
                          "X-GNOME-Autostart-enabled=true\n"
                          "X-GNOME-Autostart-Delay=2\n"
                          "X-KDE-autostart-after=panel\n"
                          "X-LXQt-Need-Tray=true\n")
        .arg(escapeValue(quotedArgument(program)), escapeValue(program));
}

std::optional<QString> set(bool enabled, const QString& program) {
    if (!enabled) {
        if (!QFileInfo::exists(Paths::autostartEntry()) || status() == Status::notRegistered)
            return succeed();
        QFile entry(Paths::autostartEntry());
        if (!entry.remove())
            return fail(false, entry.errorString());
        return succeed();
    }
    if (!canRegister(program))
        return fail(true, kCannotRegisterText);
    if (status() == Status::enabled && startsProgram(program))
        return succeed();
    if (std::any_of(program.cbegin(), program.cend(), [](QChar c) { return c.unicode() < 0x20; }))
        return fail(true, QStringLiteral("Kelvane's path contains a control character, which a "
                                         "startup entry cannot hold."));
    if (!AtomicFile::write(Paths::autostartEntry(), entryText(program).toUtf8()))
        return fail(true, QStringLiteral("Couldn't write %1.").arg(Paths::autostartEntry()));
    return succeed();
}

std::optional<QString> set(bool enabled) {
    return set(enabled, programPath());
}

void reconcile(bool desired, const QString& program) {
    if (!canRegister(program))
        return;
    const bool enabled = status() == Status::enabled;
    if (desired && (!enabled || !startsProgram(program)))
        set(true, program);
    else if (!desired && enabled)
        set(false, program);
}

void reconcile(bool desired) {
    reconcile(desired, programPath());
}

std::optional<QString> lastError() {
    return lastError_;
}

QString problemText(const QString& program) {
    if (!canRegister(program))
        return kCannotRegisterText;
    if (lastError_)
        return *lastError_;
    if (status() == Status::enabled)
        return {};
    return kNotRegisteredText;
}

QString problemText() {
    return problemText(programPath());
}

void openLoginItemsSettings(FileViewer& viewer) {
    const QString folder = QFileInfo(Paths::autostartEntry()).absolutePath();
    QDir().mkpath(folder);
    viewer.openFolder(folder);
}

} // namespace LaunchAtLogin
