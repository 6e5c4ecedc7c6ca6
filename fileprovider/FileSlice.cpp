#include "fileprovider/FileSlice.h"

FileSlice::FileSlice(std::shared_ptr<QFile> file, std::shared_ptr<std::mutex> fileLock,
                     qint64 offset, qint64 length, QObject* parent)
    : QIODevice(parent), file_(std::move(file)), fileLock_(std::move(fileLock)), offset_(offset),
      length_(length) {}

bool FileSlice::seek(qint64 position) {
    if (position < 0 || position > length_ || !QIODevice::seek(position))
        return false;
    cursor_ = position;
    return true;
}

qint64 FileSlice::readData(char* data, qint64 maxSize) {
    const qint64 at = cursor_;
    const qint64 wanted = std::min(maxSize, length_ - at);
    if (wanted <= 0)
        return 0;
    qint64 got = 0;
    {
        std::lock_guard guard(*fileLock_);
        if (!file_->seek(offset_ + at))
            return -1;
        got = file_->read(data, wanted);
    }
    cursor_ += std::max<qint64>(got, 0);
    if (got < wanted) {
        shortRead_ = at + std::max<qint64>(got, 0);
        setErrorString(QStringLiteral("the file ended %1 bytes into the slice").arg(*shortRead_));
        return got > 0 ? got : -1;
    }
    return got;
}
