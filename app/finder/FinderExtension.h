#pragma once

#include "app/finder/FinderExtensionState.h"
#include "platform/PluginRegistry.h"

#include <QStringList>
#include <optional>

class FileViewer;

// The file-manager extension's registration, over the plug-in registry as pluginkit: the
// bundle's bin/kelvane-findersync is registered, its state read back from pluginkit's lines,
// and elected when the user asks. Every call blocks until the registry is done (files, and a
// gsettings call with a time limit): callers run them on a worker.
class FinderExtension {
public:
    static inline const QString kBundleIdentifier = PluginRegistry::kIdentifier;

    struct Options {
        // The installed bundle (holding bin/).
        QString bundleDir;
        PluginRegistry::Options registry;
        Options();
    };

    explicit FinderExtension(Options options = Options()) : options_(std::move(options)) {}

    // bin/kelvane-findersync inside the bundle.
    QString bundledExtension() const;
    // Adds the bundle's extension to the registry when the bundle holds it; nothing otherwise.
    void registerBundledExtension() const;
    FinderExtensionState state() const;
    // The popover's and settings window's command: elect the extension; when it is still not
    // on, open the folder holding its action files so the user can see to it by hand.
    FinderExtensionState enable(FileViewer& viewer) const;

    // The state a pluginkit -m answer stands for.
    static FinderExtensionState stateFromListing(const std::optional<QString>& output);

private:
    std::optional<QString> pluginkit(const QStringList& arguments) const;

    Options options_;
};
