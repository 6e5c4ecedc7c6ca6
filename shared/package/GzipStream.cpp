#include "shared/package/GzipStream.h"

#include <zlib.h>

namespace {

constexpr int kGzipWindowBits = 15 + 16; // deflate window, gzip wrapper
constexpr int kLevel = 9;
constexpr int kMemLevel = 8;
constexpr qint64 kChunkBytes = 256 * 1024;

} // namespace

GzipWriter::GzipWriter() : stream_(std::make_unique<z_stream_s>()) {}

GzipWriter::~GzipWriter() {
    if (open_)
        deflateEnd(stream_.get());
}

bool GzipWriter::open(const QString& path, QString* error) {
    file_.setFileName(path);
    if (!file_.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        *error = path + ": " + file_.errorString();
        return false;
    }
    *stream_ = {};
    if (deflateInit2(stream_.get(), kLevel, Z_DEFLATED, kGzipWindowBits, kMemLevel,
                     Z_DEFAULT_STRATEGY) != Z_OK) {
        *error = QStringLiteral("gzip is unavailable");
        return false;
    }
    open_ = true;
    return true;
}

bool GzipWriter::deflateSome(int flush) {
    QByteArray out(kChunkBytes, Qt::Uninitialized);
    int result = Z_OK;
    do {
        stream_->next_out = reinterpret_cast<Bytef*>(out.data());
        stream_->avail_out = uInt(out.size());
        result = deflate(stream_.get(), flush);
        if (result == Z_STREAM_ERROR) {
            error_ = QStringLiteral("gzip failed");
            return false;
        }
        const qint64 produced = out.size() - qint64(stream_->avail_out);
        if (file_.write(out.constData(), produced) != produced) {
            error_ = file_.errorString();
            return false;
        }
    } while (stream_->avail_out == 0 || (flush == Z_FINISH && result != Z_STREAM_END));
    return true;
}

bool GzipWriter::write(const QByteArray& bytes) {
    stream_->next_in = reinterpret_cast<Bytef*>(const_cast<char*>(bytes.constData()));
    stream_->avail_in = uInt(bytes.size());
    return deflateSome(Z_NO_FLUSH);
}

bool GzipWriter::finish(QString* error) {
    stream_->next_in = nullptr;
    stream_->avail_in = 0;
    const bool ok = deflateSome(Z_FINISH) && file_.flush();
    deflateEnd(stream_.get());
    open_ = false;
    file_.close();
    if (!ok)
        *error = error_.isEmpty() ? file_.errorString() : error_;
    return ok;
}

GzipReader::GzipReader() : stream_(std::make_unique<z_stream_s>()) {}

GzipReader::~GzipReader() {
    if (open_)
        inflateEnd(stream_.get());
}

bool GzipReader::open(const QString& path, QString* error) {
    file_.setFileName(path);
    if (!file_.open(QIODevice::ReadOnly)) {
        *error = path + ": " + file_.errorString();
        return false;
    }
    *stream_ = {};
    if (inflateInit2(stream_.get(), kGzipWindowBits) != Z_OK) {
        *error = QStringLiteral("gzip is unavailable");
        return false;
    }
    open_ = true;
    return true;
}

bool GzipReader::refill() {
    input_ = file_.read(kChunkBytes);
    stream_->next_in = reinterpret_cast<Bytef*>(input_.data());
    stream_->avail_in = uInt(input_.size());
    return !input_.isEmpty();
}

bool GzipReader::read(char* out, qint64 count) {
    if (finished_ || !error_.isEmpty())
        return false;
    stream_->next_out = reinterpret_cast<Bytef*>(out);
    stream_->avail_out = uInt(count);
    while (stream_->avail_out > 0) {
        if (stream_->avail_in == 0 && !refill()) {
            error_ = QStringLiteral("the archive ends early");
            return false;
        }
        const int result = inflate(stream_.get(), Z_NO_FLUSH);
        if (result == Z_STREAM_END) {
            // One member only: bytes after it would be read by some tools and not by others.
            if (stream_->avail_in > 0 || !file_.atEnd()) {
                error_ = QStringLiteral("data follows the compressed stream");
                return false;
            }
            finished_ = true;
            break;
        }
        if (result != Z_OK) {
            error_ = QStringLiteral("the archive is not valid gzip data");
            return false;
        }
    }
    const qint64 got = count - qint64(stream_->avail_out);
    inflated_ += got;
    return got == count;
}
