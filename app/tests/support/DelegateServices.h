#pragma once

#include "app/shell/AppDelegate.h"
#include "app/shell/AppUI.h"
#include "app/tests/support/ClientServices.h"
#include "platform/fileprovider/FileProviderDomainRegistry.h"
#include "tests/support/InMemoryCredentialStore.h"

#include <QNetworkAccessManager>

// What an application delegate stands on in a test: the defaults of the test's home, an
// in-memory keychain, a recording file viewer and no desktop. Build it after the TestHome.
struct DelegateServices {
    UserDefaults defaults;
    InMemoryCredentialStore store;
    Keychain keychain{store};
    QNetworkAccessManager network;
    FileProviderDomainRegistry domains;
    RecordingViewer viewer;
    HeadlessUI ui;

    AppServices services(EngineSource engine = EngineSource::pinned(), MountOptions mount = {}) {
        return AppServices{defaults, keychain, network, domains, viewer, std::move(engine),
                           std::move(mount)};
    }
};
