#pragma once

#include "platform/fileprovider/FileProviderProgress.h"

#include <QCoroTask>
#include <QString>
#include <chrono>
#include <memory>

class KelvaneAPI;
class TransferSession;

// Uploads one large file in 10 MiB parts straight to object storage, at most 8 at once and
// started strictly in ascending order, then has the server assemble and import the object at
// the path. Parts are streamed from the file, never held whole in memory. The first failure
// ends the upload: the other parts are cancelled, the upload is aborted (waited for at most 5
// seconds) and the failure is thrown (an MPError, or the files API's or the network's own).
// The progress counts in percent and reaches 100 only after the import.
namespace MultipartUploader {

constexpr qint64 kPartSize = 10 * 1024 * 1024;
constexpr int kParallelParts = 8;
constexpr std::chrono::seconds kPartTimeout{60};
constexpr std::chrono::seconds kAbortWait{5};

qint64 partCount(qint64 size);

QCoro::Task<> upload(QString srcPath, qint64 size, QString destPath,
                     std::shared_ptr<FileProviderProgress> progress, TransferSession& session,
                     KelvaneAPI& api);

} // namespace MultipartUploader
