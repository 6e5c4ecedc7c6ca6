#include "fileprovider/ExtensionErrors.h"
#include "fileprovider/FileProviderExtension.h"
#include "fileprovider/PinsCommand.h"
#include "platform/Logging.h"
#include "platform/fileprovider/FileProviderDomainRegistry.h"
#include "platform/fileprovider/host/ActionCommand.h"
#include "platform/fileprovider/host/FileProviderHost.h"
#include "shared/Identifiers.h"

#include <QCoreApplication>

// kelvane-fileprovider: the extension together with a host that plays the system's part for
// the domain the application registered.
int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("kelvane-fileprovider"));
    Logging::install();
    FileProviderDomainRegistry domains;
    FileProviderHost host(
        QStringLiteral("kelvane-fileprovider"), domains, Identifiers::kFileProviderDomain,
        [](const FileProviderDomain& domain, FileProviderSystemServices system) {
            FileProviderExtension::Services services;
            services.domains = &system.domains;
            services.pasteboard = &system.pasteboard;
            return std::make_unique<FileProviderExtension>(domain, std::move(services));
        },
        ExtensionErrors::describe);
    host.addStandardCommands();
    host.addCommand(std::make_unique<ActionCommand>(FileProviderExtension::declaredActions()));
    host.addCommand(std::make_unique<PinsCommand>());
    return host.run(QCoreApplication::arguments().mid(1));
}
