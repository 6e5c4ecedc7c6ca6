#pragma once

#include "app/api/APIClient.h"
#include "app/settings/Keychain.h"
#include "platform/FileViewer.h"
#include "platform/UserDefaults.h"
#include "tests/support/InMemoryCredentialStore.h"

#include <QNetworkAccessManager>
#include <QStringList>

// The services an API client stands on, with an in-memory keychain. Build it after the test's
// TestHome so the defaults land in the temporary home.
struct ClientServices {
    UserDefaults defaults;
    InMemoryCredentialStore store;
    Keychain keychain{store};
    QNetworkAccessManager network;
    APIClient api{defaults, keychain, network};
};

// Records what would have been shown in the file manager.
struct RecordingViewer : FileViewer {
    void openFolder(const QString& path) override { calls.append("open " + path); }
    void selectItem(const QString& path) override { calls.append("select " + path); }
    QStringList calls;
};
