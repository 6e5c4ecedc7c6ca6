#include "platform/pluginregistry/ThunarActions.h"

#include "platform/AtomicFile.h"
#include "platform/Paths.h"
#include "platform/pluginregistry/CommandQuoting.h"
#include "platform/pluginregistry/UcaDocument.h"

#include <QFile>
#include <QFileInfo>

namespace {

const QString kCopyId = QStringLiteral("com.30814qv.kelvane.findersync.copy-link");
const QString kOpenId = QStringLiteral("com.30814qv.kelvane.findersync.open-on-web");
const QString kEmptyFile =
    QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<actions>\n</actions>\n");

QString escaped(const QString& text) {
    return text.toHtmlEscaped();
}

QString actionElement(const QString& id, const QString& title, const QString& icon,
                      const QString& description, const QString& command, bool switchedOff) {
    QString element = QStringLiteral("<action>\n"
                                     "\t<icon>%1</icon>\n"
                                     "\t<name>%2</name>\n"
                                     "\t<submenu>Kelvane</submenu>\n"
                                     "\t<unique-id>%3</unique-id>\n"
                                     "\t<command>%4</command>\n"
                                     "\t<description>%5</description>\n"
                                     "\t<patterns>*</patterns>\n")
                          .arg(icon, escaped(title), id, escaped(command), escaped(description));
    if (!switchedOff) {
        element += QStringLiteral("\t<directories/>\n\t<audio-files/>\n\t<image-files/>\n"
                                  "\t<other-files/>\n\t<text-files/>\n\t<video-files/>\n");
    }
    return element + QStringLiteral("</action>\n");
}

QString ourActions(const QString& program, bool switchedOff) {
    const QString word = CommandQuoting::shellWord(program);
    return actionElement(kCopyId, QStringLiteral("Copy Kelvane Link"),
                         QStringLiteral("insert-link"),
                         QStringLiteral("Copy web links to the selected items"),
                         word + QStringLiteral(" copy-link %U"), switchedOff) +
           actionElement(kOpenId, QStringLiteral("Open in Kelvane on the Web"),
                         QStringLiteral("internet-web-browser"),
                         QStringLiteral("Open the first selected item in the browser"),
                         word + QStringLiteral(" open-on-web %U"), switchedOff);
}

std::optional<QString> readText(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    return QString::fromUtf8(file.readAll());
}

} // namespace

QStringList ThunarActions::uniqueIds() {
    return {kCopyId, kOpenId};
}

QString ThunarActions::folder() const {
    return QFileInfo(Paths::thunarActionsFile()).path();
}

QString ThunarActions::currentText() {
    if (const auto text = readText(Paths::thunarActionsFile()))
        return *text;
    return readText(Paths::thunarSystemActionsFile()).value_or(kEmptyFile);
}

bool ThunarActions::write(const QString& program, bool keepSwitchedOff, QString* problem) {
    const QString path = Paths::thunarActionsFile();
    QString error;
    const auto document = UcaDocument::parse(currentText(), uniqueIds(), &error);
    if (!document) {
        *problem =
            QStringLiteral("%1 is not well-formed XML (%2); it was left as it is").arg(path, error);
        return false;
    }
    const bool switchedOff = keepSwitchedOff && document->oursSwitchedOff();
    const QString merged = document->withOurs(ourActions(program, switchedOff));
    if (QFileInfo::exists(path) && readText(path) == merged)
        return true;
    if (!AtomicFile::write(path, merged.toUtf8())) {
        *problem = QStringLiteral("cannot write %1").arg(path);
        return false;
    }
    return true;
}

bool ThunarActions::install(const Target& target, QString* problem) {
    return write(target.program, true, problem);
}

FileManagerActions::State ThunarActions::state() const {
    const auto text = readText(Paths::thunarActionsFile());
    if (!text)
        return State::notInstalled;
    QString error;
    const auto document = UcaDocument::parse(*text, uniqueIds(), &error);
    // Thunar cannot read such a file either: none of its actions show.
    if (!document || !document->hasOurs())
        return State::notInstalled;
    return document->oursSwitchedOff() ? State::switchedOff : State::on;
}

bool ThunarActions::switchOn(QString* problem) {
    // The program is the one our copy action already runs: '…' copy-link %U.
    const auto text = readText(Paths::thunarActionsFile());
    QString error;
    const auto document =
        text ? UcaDocument::parse(*text, uniqueIds(), &error) : std::optional<UcaDocument>();
    const QString command = document ? document->commandOf(kCopyId) : QString();
    const QString suffix = QStringLiteral(" copy-link %U");
    QString program;
    if (command.startsWith(QLatin1Char('\'')) && command.endsWith(QLatin1String("'") + suffix)) {
        program = command.mid(1, command.size() - suffix.size() - 2);
        program.replace(QLatin1String("'\\''"), QLatin1String("'"));
    }
    if (program.isEmpty()) {
        *problem = QStringLiteral("no Kelvane action in %1").arg(Paths::thunarActionsFile());
        return false;
    }
    return write(program, false, problem);
}
