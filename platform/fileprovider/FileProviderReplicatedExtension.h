#pragma once

#include "platform/fileprovider/FileProviderEnumeration.h"
#include "platform/fileprovider/FileProviderProgress.h"

#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <optional>

// A byte range of an item's contents.
struct FileProviderRange {
    qint64 location = 0;
    qint64 length = 0;
    bool operator==(const FileProviderRange&) const = default;
};

// The entry points the system calls on a replicated extension, one instance per domain. Each
// asynchronous entry point returns its progress at once and calls its completion exactly
// once, with its result or an error.
class FileProviderReplicatedExtension {
public:
    using ItemCompletion = std::function<void(FileProviderItemPtr, std::exception_ptr)>;
    // The local file holding the contents (it then belongs to the system), the item as it is
    // now, or the error.
    using FetchCompletion =
        std::function<void(std::optional<QString> file, FileProviderItemPtr, std::exception_ptr)>;
    // As above, with the range of the file that holds the item's bytes; the rest of the file
    // is not to be read.
    using PartialFetchCompletion = std::function<void(
        std::optional<QString> file, FileProviderItemPtr, FileProviderRange fetched,
        quint64 materializationFlags, std::exception_ptr)>;
    // The item as the server now has it, the fields still to be applied, whether the system
    // should fetch the contents again, or the error.
    using ItemChangeCompletion = std::function<void(FileProviderItemPtr, quint64 remainingFields,
                                                    bool shouldFetchContent, std::exception_ptr)>;
    using ErrorCompletion = std::function<void(std::exception_ptr)>;

    virtual ~FileProviderReplicatedExtension() = default;

    virtual std::shared_ptr<FileProviderProgress> item(const QString& identifier,
                                                       ItemCompletion completion) = 0;
    virtual std::unique_ptr<FileProviderEnumeratorProtocol>
    enumerator(const QString& containerIdentifier) = 0;

    virtual std::shared_ptr<FileProviderProgress>
    fetchContents(const QString& identifier, const FileProviderItemVersion& requestedVersion,
                  FetchCompletion completion) = 0;
    virtual std::shared_ptr<FileProviderProgress>
    fetchPartialContents(const QString& identifier, const FileProviderItemVersion& requestedVersion,
                         FileProviderRange minimalRange, qint64 alignment, quint64 options,
                         PartialFetchCompletion completion) = 0;
    // contents: the system's copy of the new item's contents; none for a folder.
    virtual std::shared_ptr<FileProviderProgress>
    createItem(FileProviderItemPtr itemTemplate, quint64 fields, std::optional<QString> contents,
               quint64 options, ItemChangeCompletion completion) = 0;
    virtual std::shared_ptr<FileProviderProgress>
    modifyItem(FileProviderItemPtr item, const FileProviderItemVersion& baseVersion,
               quint64 changedFields, std::optional<QString> contents, quint64 options,
               ItemChangeCompletion completion) = 0;
    virtual std::shared_ptr<FileProviderProgress>
    deleteItem(const QString& identifier, const FileProviderItemVersion& baseVersion,
               quint64 options, ErrorCompletion completion) = 0;
    // A custom action the extension declared, on the selected items.
    virtual std::shared_ptr<FileProviderProgress> performAction(const QString& actionIdentifier,
                                                                const QStringList& itemIdentifiers,
                                                                ErrorCompletion completion) = 0;

    // Called before the system lets go of the instance.
    virtual void invalidate() = 0;
};
