#pragma once

#include "shared/package/MinisignKey.h"

#include <QString>
#include <optional>

// Turns a bundle into an update package: a copy of it (the bundle itself is left alone) with
// Info.json restamped when asked and the manifest signed afresh with the developer key, packed
// as OUT/Kelvane-VERSION-BUILD-linux-amd64.tar.gz with every entry under "Kelvane/", and that
// file's minisign signature beside it, made with the notary key. The same bundle and keys give
// the same bytes.
class BundlePacker {
public:
    struct Request {
        QString bundle;
        QString outputFolder;
        std::optional<QString> version; // restamp Info.json's "version"
        std::optional<QString> build;   // restamp Info.json's "build"
        MinisignSecretKey developerKey;
        MinisignSecretKey notaryKey;
    };
    struct Package {
        QString archive;
        QString signature;
    };

    static QString packageName(const QString& version, const QString& build);
    // The package; nothing (and the reason) on any failure.
    static std::optional<Package> pack(const Request& request, QString* error);
    // The steps of pack(), for callers that need them apart.
    // Copies a bundle folder, keeping modes and links.
    static bool copyTree(const QString& from, const QString& to, QString* error);
    // Packs a bundle folder as it stands, every entry under "Kelvane/".
    static bool packFolder(const QString& bundle, const QString& archive, QString* error);
    // Writes archive + ".minisig", signed with the key.
    static bool notarize(const QString& archive, const MinisignSecretKey& key,
                         const QByteArray& trustedComment, QString* error);
};
