#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

// What a bundle holds, one line per folder, file and link, sorted by relative path:
//   kelvane-manifest 1
//   d 755 - bin
//   f 755 <sha256 of the content> bin/kelvane
//   l 777 <sha256 of the link target> lib/libx.so
// Write permission is not part of it: an update is checked unpacked read-only, and the
// installer gives its owner write permission back.
class BundleManifest {
public:
    enum class Kind : char { directory = 'd', file = 'f', symlink = 'l' };
    struct Entry {
        Kind kind = Kind::file;
        unsigned mode = 0; // permission bits
        QByteArray digest; // hex; "-" for folders
        QByteArray path;
        bool operator==(const Entry&) const = default;
    };

    // The folder's manifest, leaving out its signature folder; nothing (and the reason) for a
    // tree that cannot be described: an unreadable file, a device, fifo or socket, set-id or
    // sticky bits, a name with a control character, or a link that leaves the bundle.
    static std::optional<BundleManifest> ofFolder(const QString& bundle, QString* error);
    static std::optional<BundleManifest> parse(const QByteArray& text, QString* error);

    QByteArray toText() const;
    const QList<Entry>& entries() const { return entries_; }

    // What differs in the actual tree from this manifest: "missing P", "extra P",
    // "changed P" (kind or content) and "mode of P" (read or execute permission); empty when
    // they agree.
    QStringList differences(const BundleManifest& actual) const;

private:
    QList<Entry> entries_;
};
