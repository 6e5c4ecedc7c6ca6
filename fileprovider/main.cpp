#include "fileprovider/ExtensionErrors.h"
#include "fileprovider/FileProviderExtension.h"
#include "platform/Logging.h"
#include "platform/fileprovider/FileProviderDomainRegistry.h"
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
        [](const FileProviderDomain& domain) {
            return std::make_unique<FileProviderExtension>(domain);
        },
        ExtensionErrors::describe);
    host.addStandardCommands();
    return host.run(QCoreApplication::arguments().mid(1));
}
