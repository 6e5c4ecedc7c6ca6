#pragma once

#include "fileprovider/TransferContext.h"
#include "platform/fileprovider/FileProviderReplicatedExtension.h"

// New items and changes to items for the framework: folders through mkdir, new files below
// 16 MiB through one presigned PUT and an import, larger ones through the multipart uploader,
// changed contents through the presigned upload and a notice, renames and moves through
// move, with pins following the item. Uploads are in the ledger from beginning to end.
namespace ItemChanges {

constexpr qint64 kDirectUploadLimit = 16 * 1024 * 1024;
constexpr std::chrono::seconds kUploadTimeout{60};

QCoro::Task<> createItem(TransferContext& context, FileProviderItemPtr itemTemplate,
                         std::optional<QString> contents,
                         std::shared_ptr<FileProviderProgress> progress,
                         FileProviderReplicatedExtension::ItemChangeCompletion completion);

QCoro::Task<> modifyItem(TransferContext& context, FileProviderItemPtr item, quint64 changedFields,
                         std::optional<QString> contents,
                         std::shared_ptr<FileProviderProgress> progress,
                         FileProviderReplicatedExtension::ItemChangeCompletion completion);

// The server path of an item named `filename` in the folder with that identifier.
QString destinationPath(const QString& parentIdentifier, const QString& filename);

} // namespace ItemChanges
