#include "shared/package/TarGzWriter.h"

#include <QFile>

namespace {

// tar reads and writes in records of 20 blocks.
constexpr qint64 kRecordBytes = 20 * TarHeader::kBlockBytes;
constexpr qint64 kChunkBytes = 1024 * 1024;

} // namespace

bool TarGzWriter::open(const QString& path, QString* error) {
    return gzip_.open(path, error);
}

bool TarGzWriter::writeHeader(const TarHeader& header) {
    const auto block = header.encode();
    if (!block) {
        error_ = "cannot store " + QString::fromUtf8(header.name) + " in a ustar header";
        return false;
    }
    written_ += block->size();
    return gzip_.write(*block) || (error_ = gzip_.errorString(), false);
}

bool TarGzWriter::pad(qint64 size) {
    const qint64 rest = size % TarHeader::kBlockBytes;
    if (rest == 0)
        return true;
    written_ += TarHeader::kBlockBytes - rest;
    return gzip_.write(QByteArray(int(TarHeader::kBlockBytes - rest), '\0')) ||
           (error_ = gzip_.errorString(), false);
}

bool TarGzWriter::addDirectory(const QByteArray& name, unsigned mode) {
    return writeHeader({name, mode, 0, TarHeader::kDirectory, {}});
}

bool TarGzWriter::addBytes(const QByteArray& name, unsigned mode, const QByteArray& content) {
    return addRaw({name, mode, content.size(), TarHeader::kFile, {}}, content);
}

bool TarGzWriter::addFile(const QByteArray& name, unsigned mode, const QString& source) {
    QFile file(source);
    if (!file.open(QIODevice::ReadOnly)) {
        error_ = source + ": " + file.errorString();
        return false;
    }
    const qint64 size = file.size();
    if (!writeHeader({name, mode, size, TarHeader::kFile, {}}))
        return false;
    qint64 copied = 0;
    while (copied < size) {
        const QByteArray chunk = file.read(std::min(kChunkBytes, size - copied));
        if (chunk.isEmpty()) {
            error_ = source + ": changed while it was being packed";
            return false;
        }
        if (!gzip_.write(chunk)) {
            error_ = gzip_.errorString();
            return false;
        }
        copied += chunk.size();
    }
    written_ += size;
    return pad(size);
}

bool TarGzWriter::addSymlink(const QByteArray& name, const QByteArray& target) {
    return writeHeader({name, 0777, 0, TarHeader::kSymlink, target});
}

bool TarGzWriter::addRaw(const TarHeader& header, const QByteArray& content, bool padded) {
    if (!writeHeader(header))
        return false;
    if (!content.isEmpty() && !gzip_.write(content)) {
        error_ = gzip_.errorString();
        return false;
    }
    written_ += content.size();
    return !padded || pad(content.size());
}

bool TarGzWriter::finish(QString* error) {
    // Two zero blocks end the archive; the last record is filled up as tar does.
    qint64 end = written_ + 2 * TarHeader::kBlockBytes;
    end += (kRecordBytes - end % kRecordBytes) % kRecordBytes;
    if (!gzip_.write(QByteArray(int(end - written_), '\0'))) {
        *error = gzip_.errorString();
        return false;
    }
    written_ = end;
    return gzip_.finish(error);
}
