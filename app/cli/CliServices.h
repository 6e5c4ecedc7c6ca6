#pragma once

#include "app/api/APIClient.h"
#include "app/settings/Keychain.h"
#include "platform/CredentialStore.h"
#include "platform/UserDefaults.h"

#include <QNetworkAccessManager>
#include <memory>

// The long-lived services a command-line invocation works with, built the way the
// application builds them.
struct CliServices {
    UserDefaults defaults;
    std::unique_ptr<CredentialStore> credentials = makeCredentialStore();
    Keychain keychain{*credentials};
    QNetworkAccessManager network;
    APIClient api{defaults, keychain, network};
};
