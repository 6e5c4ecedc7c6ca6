#pragma once

#include "tools/devserver/DownloadRoutes.h"

#include <QByteArray>
#include <QString>
#include <atomic>
#include <httplib.h>
#include <optional>

// kelvane-devserver --updates DIR: the update feed /downloads/latest.json for the newest
// package in DIR (Kelvane-VERSION-BUILD-linux-amd64.tar.gz, newest by build number), and the
// packages with their .minisig files. The feed's url names the host the client asked for, over
// https on the TLS port when there is one. A latest.json in DIR is served as it stands instead,
// for feeds made by hand.
class UpdateRoutes {
public:
    explicit UpdateRoutes(const QString& folder) : folder_(folder), files_(folder) {}

    void install(httplib::Server& server);
    // The port the TLS listener took; 0 while there is none.
    void setTlsPort(int port) { tlsPort_ = port; }

    struct Package {
        QString name;
        QString version;
        QString build;
    };
    static std::optional<Package> newest(const QString& folder);
    // The feed for a request that named this Host header and reached the given port.
    std::optional<QByteArray> feed(const std::string& hostHeader, int localPort) const;

private:
    const QString folder_;
    DownloadRoutes files_;
    std::atomic<int> tlsPort_ = 0;
};
