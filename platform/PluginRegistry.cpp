#include "platform/PluginRegistry.h"

#include "platform/Logging.h"
#include "platform/Paths.h"
#include "platform/pluginregistry/DolphinActions.h"
#include "platform/pluginregistry/NautilusActions.h"
#include "platform/pluginregistry/NemoActions.h"
#include "platform/pluginregistry/ThunarActions.h"

#include <QFileInfo>

PluginRegistry::Options::Options()
    : programDirs(Paths::systemProgramDirs()), gsettings(Paths::gsettingsTool()) {}

PluginRegistry::PluginRegistry(Options options) : options_(std::move(options)) {
    managers_.push_back(std::make_unique<DolphinActions>());
    managers_.push_back(std::make_unique<NautilusActions>());
    managers_.push_back(std::make_unique<NemoActions>(options_.gsettings));
    managers_.push_back(std::make_unique<ThunarActions>());
}

PluginRegistry::~PluginRegistry() = default;

bool PluginRegistry::isPresent(const QString& fileManager) const {
    for (const QString& dir : options_.programDirs) {
        if (QFileInfo(dir + QLatin1Char('/') + fileManager).isExecutable())
            return true;
    }
    return false;
}

QStringList PluginRegistry::install(const QString& program) {
    QStringList problems;
    for (const auto& manager : managers_) {
        if (!isPresent(manager->name()))
            continue;
        QString problem;
        if (!manager->install({program}, &problem)) {
            qCWarning(lcPlatform).noquote()
                << manager->name() << "gets no Kelvane menu entries:" << problem;
            problems.append(manager->name() + QStringLiteral(": ") + problem);
        }
    }
    return problems;
}

QList<PluginRegistry::Installation> PluginRegistry::list() const {
    QList<Installation> switchedOff;
    QList<Installation> on;
    for (const auto& manager : managers_) {
        if (!isPresent(manager->name()))
            continue;
        const auto state = manager->state();
        if (state == FileManagerActions::State::switchedOff)
            switchedOff.append({manager->name(), state, manager->folder()});
        else if (state == FileManagerActions::State::on)
            on.append({manager->name(), state, manager->folder()});
    }
    return switchedOff + on;
}

QStringList PluginRegistry::switchOn() {
    QStringList problems;
    for (const auto& manager : managers_) {
        if (!isPresent(manager->name()) ||
            manager->state() != FileManagerActions::State::switchedOff)
            continue;
        QString problem;
        if (!manager->switchOn(&problem)) {
            qCWarning(lcPlatform).noquote()
                << "cannot switch Kelvane's entries on in" << manager->name() << ":" << problem;
            problems.append(manager->name() + QStringLiteral(": ") + problem);
        }
    }
    return problems;
}

std::optional<QString> PluginRegistry::managementFolder() const {
    const auto installations = list();
    if (installations.isEmpty())
        return std::nullopt;
    return installations.first().folder;
}

std::optional<QString> PluginRegistry::run(const QStringList& arguments) {
    const bool ours = arguments.size() >= 2 && arguments.at(arguments.size() - 2) == "-i" &&
                      arguments.last() == kIdentifier;
    if (arguments.size() == 2 && arguments.first() == QLatin1String("-a")) {
        install(arguments.at(1));
        return QString();
    }
    if (arguments.size() == 3 && arguments.first() == QLatin1String("-m") && ours) {
        QString output;
        for (const Installation& installation : list()) {
            const QChar mark = installation.state == FileManagerActions::State::on
                                   ? QLatin1Char('+')
                                   : QLatin1Char('-');
            output += QStringLiteral("%1    %2(%3)\t%4\t%5\n")
                          .arg(mark, kIdentifier, QStringLiteral(KELVANE_PLUGIN_VERSION),
                               installation.fileManager, installation.folder);
        }
        return output;
    }
    if (arguments.size() == 4 && arguments.first() == QLatin1String("-e") &&
        arguments.at(1) == QLatin1String("use") && ours) {
        switchOn();
        return QString();
    }
    return std::nullopt;
}
