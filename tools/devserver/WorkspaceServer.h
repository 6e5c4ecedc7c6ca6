#pragma once

#include "tools/devserver/AccountRoutes.h"
#include "tools/devserver/AdminRoutes.h"
#include "tools/devserver/DownloadRoutes.h"
#include "tools/devserver/EventHub.h"
#include "tools/devserver/EventRoutes.h"
#include "tools/devserver/FaultInjector.h"
#include "tools/devserver/FilesRoutes.h"
#include "tools/devserver/FilesTree.h"
#include "tools/devserver/FilespaceStore.h"
#include "tools/devserver/ObjectStore.h"
#include "tools/devserver/ObjectStoreRoutes.h"
#include "tools/devserver/RequestGate.h"
#include "tools/devserver/RequestJournal.h"
#include "tools/devserver/TlsListener.h"
#include "tools/devserver/UpdateRoutes.h"
#include "tools/devserver/Workspace.h"

#include <QString>
#include <httplib.h>

// The whole server: the workspace state, its routes and the HTTP listener on 127.0.0.1.
class WorkspaceServer {
public:
    // Throws std::runtime_error when the data folder cannot be used. An updates folder serves
    // the update feed and its packages (see UpdateRoutes).
    WorkspaceServer(const QString& dataDir, const QString& downloadsDir, bool demo,
                    const QString& updatesDir = {});

    // Binds 127.0.0.1:port (0: any free port); the bound port, or -1 on failure.
    int bind(quint16 port);
    // Adds the HTTPS listener for the update feed, packages and downloads on a free port of
    // 127.0.0.1; the port, or -1. Throws std::runtime_error for an unusable certificate.
    int bindTls(const QString& certificate, const QString& key);
    // Serves until stop(); returns false when the listener failed.
    bool run();
    // Ends event streams and pending fault delays, then the listener. Callable from any thread.
    void stop();

    EventHub& events() { return hub_; }

private:
    void configure();

    Workspace workspace_;
    FilespaceStore store_;
    FaultInjector faults_;
    EventHub hub_;
    RequestGate gate_;
    AccountRoutes accountRoutes_;
    EventRoutes eventRoutes_;
    AdminRoutes adminRoutes_;
    DownloadRoutes downloadRoutes_;
    FilesTree tree_;
    ObjectStore objects_;
    RequestJournal journal_;
    FilesRoutes filesRoutes_;
    ObjectStoreRoutes objectRoutes_;
    httplib::Server http_;
    std::unique_ptr<UpdateRoutes> updateRoutes_;
    std::unique_ptr<TlsListener> tls_;
};
