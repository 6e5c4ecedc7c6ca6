#include "app/finder/FinderExtension.h"

#include "app/finder/FinderLogging.h"
#include "platform/FileViewer.h"
#include "platform/Paths.h"

#include <QFileInfo>

FinderExtension::Options::Options() : bundleDir(Paths::bundleDir()) {}

std::optional<QString> FinderExtension::pluginkit(const QStringList& arguments) const {
    PluginRegistry registry(options_.registry);
    return registry.run(arguments);
}

QString FinderExtension::bundledExtension() const {
    return options_.bundleDir + QStringLiteral("/bin/kelvane-findersync");
}

void FinderExtension::registerBundledExtension() const {
    const QString extension = bundledExtension();
    if (!QFileInfo::exists(extension))
        return;
    pluginkit({QStringLiteral("-a"), extension});
}

FinderExtensionState FinderExtension::stateFromListing(const std::optional<QString>& output) {
    if (!output || output->isEmpty())
        return FinderExtensionState::notInstalled;
    for (const QString& line : output->split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
        if (line.contains(kBundleIdentifier))
            return line.startsWith(QLatin1Char('+')) ? FinderExtensionState::enabled
                                                     : FinderExtensionState::disabled;
    }
    return FinderExtensionState::notInstalled;
}

FinderExtensionState FinderExtension::state() const {
    return stateFromListing(
        pluginkit({QStringLiteral("-m"), QStringLiteral("-i"), kBundleIdentifier}));
}

FinderExtensionState FinderExtension::enable(FileViewer& viewer) const {
    pluginkit(
        {QStringLiteral("-e"), QStringLiteral("use"), QStringLiteral("-i"), kBundleIdentifier});
    const FinderExtensionState now = state();
    if (now != FinderExtensionState::enabled) {
        const auto folder = PluginRegistry(options_.registry).managementFolder();
        qCInfo(lcFinderExtension).noquote()
            << "the file manager menu is still" << FinderExtensionStates::describe(now)
            << (folder ? "; showing " + *folder : QStringLiteral("; no file manager has it"));
        if (folder)
            viewer.openFolder(*folder);
    }
    return now;
}

namespace FinderExtensionStates {

QString name(FinderExtensionState state) {
    switch (state) {
    case FinderExtensionState::enabled:
        return QStringLiteral("enabled");
    case FinderExtensionState::disabled:
        return QStringLiteral("disabled");
    case FinderExtensionState::notInstalled:
        break;
    }
    return QStringLiteral("notInstalled");
}

QString describe(FinderExtensionState state) {
    switch (state) {
    case FinderExtensionState::enabled:
        return QStringLiteral("on");
    case FinderExtensionState::disabled:
        return QStringLiteral("switched off");
    case FinderExtensionState::notInstalled:
        break;
    }
    return QStringLiteral("not installed");
}

} // namespace FinderExtensionStates
