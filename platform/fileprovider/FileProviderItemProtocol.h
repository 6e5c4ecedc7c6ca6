#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <optional>

// What the framework reads from an item, with the framework's own values for capabilities
// and content policies so they print and compare as the system would.
namespace FileProviderCapability {
constexpr quint64 kReading = 1 << 0;
constexpr quint64 kWriting = 1 << 1; // also allows adding sub-items to a folder
constexpr quint64 kReparenting = 1 << 2;
constexpr quint64 kRenaming = 1 << 3;
constexpr quint64 kTrashing = 1 << 4;
constexpr quint64 kDeleting = 1 << 5;
constexpr quint64 kEvicting = 1 << 6;
constexpr quint64 kExcludingFromSync = 1 << 7;
} // namespace FileProviderCapability

// The item fields a modification names as changed (the framework's bit values).
namespace FileProviderItemField {
constexpr quint64 kContents = 1 << 0;
constexpr quint64 kFilename = 1 << 1;
constexpr quint64 kParentItemIdentifier = 1 << 2;
constexpr quint64 kLastUsedDate = 1 << 3;
constexpr quint64 kTagData = 1 << 4;
constexpr quint64 kFavoriteRank = 1 << 5;
constexpr quint64 kCreationDate = 1 << 6;
constexpr quint64 kContentModificationDate = 1 << 7;
constexpr quint64 kFileSystemFlags = 1 << 8;
constexpr quint64 kExtendedAttributes = 1 << 9;
} // namespace FileProviderItemField

enum class FileProviderContentPolicy {
    inherited = 0,
    downloadLazily = 1,
    downloadLazilyAndEvictOnRemoteUpdate = 2,
    downloadEagerlyAndKeepDownloaded = 3,
};

// Content types as MIME names: the folder type and generic data.
namespace FileProviderContentType {
inline const QString kFolder = QStringLiteral("inode/directory");
inline const QString kData = QStringLiteral("application/octet-stream");
} // namespace FileProviderContentType

struct FileProviderItemVersion {
    QByteArray contentVersion;
    QByteArray metadataVersion;
    bool operator==(const FileProviderItemVersion&) const = default;
};

// The item protocol. Getters may be called on any thread, any number of times.
class FileProviderItemProtocol {
public:
    virtual ~FileProviderItemProtocol() = default;

    virtual QString itemIdentifier() const = 0;
    virtual QString parentItemIdentifier() const = 0;
    virtual QString filename() const = 0;
    virtual QString contentType() const = 0;
    virtual quint64 capabilities() const = 0;
    // None for folders.
    virtual std::optional<qint64> documentSize() const = 0;
    virtual QDateTime contentModificationDate() const = 0;
    virtual QDateTime creationDate() const = 0;
    virtual FileProviderContentPolicy contentPolicy() const = 0;
    virtual FileProviderItemVersion itemVersion() const = 0;
};
