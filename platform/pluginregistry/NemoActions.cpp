#include "platform/pluginregistry/NemoActions.h"

#include "platform/AtomicFile.h"
#include "platform/Logging.h"
#include "platform/Paths.h"
#include "platform/pluginregistry/CommandQuoting.h"
#include "platform/pluginregistry/GSettingsList.h"

#include <QFileInfo>
#include <QProcess>

namespace {

const QString kCopyOne = QStringLiteral("kelvane-copy-link.nemo_action");
const QString kCopySeveral = QStringLiteral("kelvane-copy-links.nemo_action");
const QString kOpen = QStringLiteral("kelvane-open-on-web.nemo_action");
const QString kGate = QStringLiteral("kelvane-in-drive");
const QString kSchema = QStringLiteral("org.nemo.plugins");
const QString kKey = QStringLiteral("disabled-actions");
constexpr int kToolLimitMs = 5000;

struct Entry {
    QString file;
    QString title;
    QString command;
    QString icon;
    QString selection;
};

QString action(const Entry& entry, const QString& program) {
    return QStringLiteral("[Nemo Action]\n"
                          "Name=%1\n"
                          "Icon-Name=%2\n"
                          "Exec=%3 %4 %U\n"
                          "Selection=%5\n"
                          "Extensions=any;\n"
                          "Quote=double\n"
                          "Conditions=exec <%6>;\n")
        .arg(entry.title, entry.icon,
             CommandQuoting::keyFileValue(CommandQuoting::shellWord(program)), entry.command,
             entry.selection, kGate);
}

QList<Entry> entries() {
    return {{kCopyOne, QStringLiteral("Copy Kelvane Link"), QStringLiteral("copy-link"),
             QStringLiteral("insert-link"), QStringLiteral("s")},
            {kCopySeveral, QStringLiteral("Copy Kelvane Links"), QStringLiteral("copy-link"),
             QStringLiteral("insert-link"), QStringLiteral("m")},
            {kOpen, QStringLiteral("Open in Kelvane on the Web"), QStringLiteral("open-on-web"),
             QStringLiteral("internet-web-browser"), QStringLiteral("notnone")}};
}

// gsettings with a time limit; its standard output, or nothing when it failed.
std::optional<QByteArray> runTool(const QString& tool, const QStringList& arguments) {
    if (!QFileInfo(tool).isExecutable())
        return std::nullopt;
    QProcess process;
    process.start(tool, arguments);
    if (!process.waitForFinished(kToolLimitMs)) {
        process.kill();
        process.waitForFinished(1000);
        return std::nullopt;
    }
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0)
        return std::nullopt;
    return process.readAllStandardOutput();
}

} // namespace

QStringList NemoActions::actionFiles() {
    return {kCopyOne, kCopySeveral, kOpen};
}

QString NemoActions::folder() const {
    return Paths::nemoActionsDir();
}

bool NemoActions::install(const Target& target, QString* problem) {
    const QString gate = folder() + QLatin1Char('/') + kGate;
    const QByteArray gateScript =
        CommandQuoting::shebangRunning(target.program, QStringLiteral("in-drive")).toUtf8();
    if (!AtomicFile::write(gate, gateScript, AtomicFile::Mode::Executable)) {
        *problem = QStringLiteral("cannot write %1").arg(gate);
        return false;
    }
    for (const Entry& entry : entries()) {
        const QString path = folder() + QLatin1Char('/') + entry.file;
        if (!AtomicFile::write(path, action(entry, target.program).toUtf8())) {
            *problem = QStringLiteral("cannot write %1").arg(path);
            return false;
        }
    }
    return true;
}

std::optional<QStringList> NemoActions::disabledActions() const {
    const auto output = runTool(gsettings_, {QStringLiteral("get"), kSchema, kKey});
    if (!output)
        return std::nullopt;
    return GSettingsList::parse(QString::fromUtf8(*output));
}

FileManagerActions::State NemoActions::state() const {
    bool any = false;
    for (const QString& file : actionFiles())
        any = any || QFileInfo::exists(folder() + QLatin1Char('/') + file);
    if (!any)
        return State::notInstalled;
    const auto disabled = disabledActions();
    if (!disabled) {
        qCDebug(lcPlatform) << "cannot read Nemo's" << kKey << "; taking its actions as on";
        return State::on;
    }
    for (const QString& file : actionFiles()) {
        if (disabled->contains(file))
            return State::switchedOff;
    }
    return State::on;
}

bool NemoActions::switchOn(QString* problem) {
    const auto disabled = disabledActions();
    if (!disabled) {
        *problem = QStringLiteral("cannot read %1 %2 with %3").arg(kSchema, kKey, gsettings_);
        return false;
    }
    QStringList kept = *disabled;
    for (const QString& file : actionFiles())
        kept.removeAll(file);
    if (kept == *disabled)
        return true;
    if (!runTool(gsettings_, {QStringLiteral("set"), kSchema, kKey, GSettingsList::format(kept)})) {
        *problem = QStringLiteral("cannot write %1 %2 with %3").arg(kSchema, kKey, gsettings_);
        return false;
    }
    return true;
}
