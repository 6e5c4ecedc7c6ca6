#pragma once

#include "platform/fileprovider/FileProviderEnumeration.h"
#include "platform/fileprovider/FileProviderProgress.h"

#include <QString>
#include <functional>
#include <memory>

// The entry points the system calls on a replicated extension, one instance per domain. Each
// asynchronous entry point returns its progress at once and calls its completion exactly
// once, with an item or an error.
class FileProviderReplicatedExtension {
public:
    using ItemCompletion = std::function<void(FileProviderItemPtr, std::exception_ptr)>;

    virtual ~FileProviderReplicatedExtension() = default;

    virtual std::shared_ptr<FileProviderProgress> item(const QString& identifier,
                                                       ItemCompletion completion) = 0;
    virtual std::unique_ptr<FileProviderEnumeratorProtocol>
    enumerator(const QString& containerIdentifier) = 0;
    // Called before the system lets go of the instance.
    virtual void invalidate() = 0;
};
