#pragma once

#include "app/activation/StorageActivation.h"
#include "app/finder/FinderExtension.h"
#include "app/mount/EngineSource.h"
#include "app/mount/MountOptions.h"
#include "app/settings/Keychain.h"
#include "app/update/Updater.h"
#include "platform/CredentialStore.h"
#include "platform/FileViewer.h"
#include "platform/UserDefaults.h"
#include "platform/fileprovider/FileProviderDomainService.h"

#include <QNetworkAccessManager>
#include <memory>

// The platform services the application's components are built on. The process owns one;
// tests build theirs with doubles where a desktop would be needed.
struct AppServices {
    UserDefaults& defaults;
    Keychain& keychain;
    QNetworkAccessManager& network;
    FileProviderDomainService& domains;
    FileViewer& viewer;
    EngineSource engine = EngineSource::pinned();
    MountOptions mountOptions = {};
    StorageActivation::Options activation = {};
    FinderExtension::Options finder = {};
    Updater::Options update = {};
};
