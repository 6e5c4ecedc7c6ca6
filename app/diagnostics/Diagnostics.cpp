#include "app/diagnostics/Diagnostics.h"

#include "app/diagnostics/DiagnosticsLogging.h"
#include "platform/ChildProcess.h"
#include "platform/Paths.h"
#include "platform/SystemInfo.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSaveFile>

namespace Diagnostics {

namespace {

constexpr int kLogLines = 500;
constexpr int kTokenMinLength = 7;

QString section(const QString& title, const QString& body) {
    return QStringLiteral("\n===== %1 =====\n%2\n").arg(title, body.trimmed());
}

// A tool's standard output and error as text; its failure to start, or to finish in time, is
// part of the text. The exit status is not looked at.
QCoro::Task<QString> shell(QString path, QStringList arguments, std::chrono::milliseconds limit) {
    const ChildProcess::Result result = co_await ChildProcess::run(path, arguments, limit);
    if (!result.started)
        co_return QString::fromUtf8("failed to run %1: %2").arg(path, result.error);
    QString text = QString::fromUtf8(result.output);
    if (result.timedOut)
        text += QString::fromUtf8("\n%1 did not finish within %2 seconds and was stopped")
                    .arg(path)
                    .arg(limit.count() / 1000);
    co_return text;
}

QString yesNo(bool value) {
    return value ? QStringLiteral("true") : QStringLiteral("false");
}

QString settingsBlock(const Sources& s) {
    const AppSettings& settings = s.settings;
    QStringList lines{
        QStringLiteral("mount point:  ") + settings.mountPoint,
        QStringLiteral("cache dir:    ") + settings.cacheDir,
        QStringLiteral("cache size:   %1 MB").arg(settings.cacheSizeMB),
        QStringLiteral("storage mode: ") + rawValue(settings.storageMode),
        QStringLiteral("API:          ") + settings.apiURL,
        QStringLiteral("signed in:    ") + yesNo(s.storedToken.has_value()),
        QStringLiteral("launch at login: %1 (system: %2)")
            .arg(yesNo(settings.launchAtLogin))
            .arg(s.loginItemStatus),
        QStringLiteral("automatic updates: ") + yesNo(settings.automaticUpdates),
        QStringLiteral("File manager extension: ") + s.fileManagerExtension,
    };
    return lines.join(u'\n');
}

QString stateText(const std::optional<MountStateMap>& states, const QString& id) {
    if (!states || !states->contains(id))
        return QStringLiteral("unknown");
    const DirectMountState state = states->value(id);
    if (state.isError())
        return QStringLiteral("error: ") + state.message();
    return kindName(state.kind());
}

QString filespacesBlock(const Sources& s) {
    if (s.filespaces.isEmpty())
        return QStringLiteral("none loaded");
    QStringList lines;
    for (const Filespace& f : s.filespaces)
        lines << QStringLiteral(" [%1] → %2: %3")
                     .arg(f.id, QDir::cleanPath(s.settings.mountPoint + u'/' + f.mountName),
                          stateText(s.mountStates, f.id));
    return lines.join(u'\n');
}

QString engineMounts(const QString& mountOutput) {
    // A tool that did not run says so instead of leaving the section blank.
    if (mountOutput.startsWith(QLatin1String("failed to run ")))
        return mountOutput;
    QStringList kept;
    for (const QString& line : mountOutput.split(u'\n'))
        if (line.contains(QLatin1String("JuiceFS")) || line.contains(QLatin1String("fuse")))
            kept << line;
    return kept.join(u'\n');
}

QCoro::Task<QString> engineBlock(std::optional<QString> juicefs, std::chrono::milliseconds limit) {
    if (!juicefs)
        co_return QString::fromUtf8("binary not found");
    // Arguments as named lists: GCC 12 cannot keep a braced list alive across a co_await.
    const QStringList arguments{QString::fromUtf8("version")};
    const QString version = co_await shell(*juicefs, arguments, limit);
    co_return version + QString::fromUtf8("\npath: ") + *juicefs;
}

QCoro::Task<QString> logTail(QStringList candidates, QString tail,
                             std::chrono::milliseconds limit) {
    for (const QString& path : candidates) {
        if (!QFileInfo::exists(path))
            continue;
        const QStringList arguments{QString::fromUtf8("-n"), QString::number(kLogLines), path};
        const QString lines = co_await shell(tail, arguments, limit);
        co_return QString::fromUtf8("path: ") + path + QString::fromUtf8("\n\n") + lines;
    }
    co_return QString::fromUtf8("no juicefs log found at ") +
        candidates.join(QString::fromUtf8(", "));
}

QString header(const Sources& s) {
    const auto orUnknown = [](const QString& v) { return v.isEmpty() ? QStringLiteral("?") : v; };
    return QStringLiteral("Kelvane diagnostics — %1 +0000\n"
                          "app: %2 (%3)\n"
                          "OS: %4\n"
                          "arch: %5\n")
        .arg(QDateTime::currentDateTimeUtc().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")),
             orUnknown(s.version), orUnknown(s.build), SystemInfo::osPrettyName(),
             SystemInfo::machine());
}

} // namespace

Options Options::standard() {
    Options options;
    options.logCandidates = {Paths::juicefsLogFile(), Paths::systemJuicefsLogFile()};
    options.desktop = Paths::desktopDir();
    return options;
}

QString scrub(const QString& text, const std::optional<QString>& storedToken) {
    // PCRE2 reads these as ICU does once \s and the classes cover all of Unicode's blanks.
    const auto unicode = QRegularExpression::UseUnicodePropertiesOption;
    static const QRegularExpression urlPassword(QStringLiteral(R"((://[^:/\s]+):[^@\s]+@)"),
                                                unicode);
    // A URL whose user part is empty ("redis://:secret@host") escapes the pattern above.
    static const QRegularExpression bareUrlPassword(QStringLiteral(R"((://):[^@\s]+@)"), unicode);
    static const QRegularExpression keyValue(
        QStringLiteral(
            R"((?i)(secret[-_ ]?key|access[-_ ]?key|token|password)(["']?\s*[:=]\s*["']?)[^\s"',]+)"),
        unicode);
    QString out = text;
    if (urlPassword.isValid())
        out.replace(urlPassword, QStringLiteral("\\1:****@"));
    if (bareUrlPassword.isValid())
        out.replace(bareUrlPassword, QStringLiteral("\\1:****@"));
    if (keyValue.isValid())
        out.replace(keyValue, QStringLiteral("\\1\\2****"));
    if (storedToken && storedToken->size() >= kTokenMinLength)
        out.replace(*storedToken, QStringLiteral("****"));
    return out;
}

QString fileName(const QDateTime& localTime) {
    return QStringLiteral("Kelvane-diagnostics-") +
           localTime.toString(QStringLiteral("yyyyMMdd'T'HHmmss")) + QStringLiteral(".txt");
}

QCoro::Task<QString> report(Sources sources, Options options) {
    const auto limit = options.toolLimit;
    const QStringList dfArguments{QString::fromUtf8("-h"), sources.settings.mountPoint,
                                  Paths::home(), sources.settings.cacheDir};
    const QString df = co_await shell(options.df, dfArguments, limit);
    const QString mounts = co_await shell(options.mount, QStringList(), limit);
    const QString engine = co_await engineBlock(sources.juicefs, limit);
    const QString log = co_await logTail(options.logCandidates, options.tail, limit);
    QString text = header(sources);
    text += section(QString::fromUtf8("Settings"), settingsBlock(sources));
    text += section(QString::fromUtf8("Filespaces"), filespacesBlock(sources));
    text += section(QString::fromUtf8("Disk"), df);
    text += section(QString::fromUtf8("Mounts"), engineMounts(mounts));
    text += section(QString::fromUtf8("FUSE"), sources.fuseInstalled
                                                   ? QString::fromUtf8("installed")
                                                   : QString::fromUtf8("NOT INSTALLED"));
    text += section(QString::fromUtf8("juicefs"), engine);
    text += section(QString::fromUtf8("juicefs log (last %1 lines)").arg(kLogLines), log);
    co_return scrub(text, sources.storedToken);
}

QCoro::Task<std::optional<QString>> exportReport(Sources sources, Options options) {
    const QString desktop = options.desktop;
    const QString text = co_await report(std::move(sources), std::move(options));
    const QString path = desktop + u'/' + fileName(QDateTime::currentDateTime());
    QString problem;
    if (desktop.isEmpty())
        problem = QString::fromUtf8("no Desktop folder is known for this user");
    else if (!QDir().mkpath(desktop))
        problem = QString::fromUtf8("cannot create %1").arg(desktop);
    if (problem.isEmpty()) {
        QSaveFile file(path);
        if (file.open(QIODevice::WriteOnly)) {
            file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
            const QByteArray bytes = text.toUtf8();
            if (file.write(bytes) == bytes.size() && file.commit())
                co_return path;
        }
        problem = file.errorString();
    }
    qCWarning(lcDiagnostics).noquote() << "[Kelvane] diagnostics export failed:" << problem;
    co_return std::nullopt;
}

} // namespace Diagnostics
