#pragma once

#include "fileprovider/TransferContext.h"
#include "platform/fileprovider/FileProviderReplicatedExtension.h"

#include <QUrl>

// Downloads for the framework: a whole file, or a range of one with read-ahead, straight
// from object storage through presigned addresses, retried with back-off and recorded in the
// ledger from beginning to end.
namespace ContentFetch {

constexpr int kWholeFileTries = 4;
constexpr int kPartialTries = 6;
constexpr qint64 kMinimumBlock = 4096;
constexpr std::chrono::seconds kRangeTimeout{60};

QCoro::Task<> fetchContents(TransferContext& context, QString identifier,
                            std::shared_ptr<FileProviderProgress> progress,
                            FileProviderReplicatedExtension::FetchCompletion completion);

QCoro::Task<>
fetchPartialContents(TransferContext& context, QString identifier, FileProviderRange minimalRange,
                     qint64 alignment, std::shared_ptr<FileProviderProgress> progress,
                     FileProviderReplicatedExtension::PartialFetchCompletion completion);

// The byte range [start, end) fetched for a request at location of length bytes with the
// read-ahead, on blocks of max(alignment, 4096), of an item of size bytes.
FileProviderRange plannedRange(qint64 location, qint64 length, qint64 readAhead, qint64 alignment,
                               qint64 size);

// GETs the address into a new file in the temporary folder and returns its path. Failures:
// the transport's error, server-unreachable for an HTTP error, a local file error.
QCoro::Task<QString> downloadWithProgress(TransferContext& context, QUrl url, QString transferId,
                                          std::shared_ptr<FileProviderProgress> progress);

} // namespace ContentFetch
