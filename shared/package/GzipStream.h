#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>
#include <memory>

struct z_stream_s;

// Writes one gzip member the same way every time: no name, time 0, fixed level.
class GzipWriter {
public:
    GzipWriter();
    ~GzipWriter();
    GzipWriter(const GzipWriter&) = delete;
    GzipWriter& operator=(const GzipWriter&) = delete;

    bool open(const QString& path, QString* error);
    bool write(const QByteArray& bytes);
    bool finish(QString* error);
    QString errorString() const { return error_; }

private:
    bool deflateSome(int flush);
    QFile file_;
    std::unique_ptr<z_stream_s> stream_;
    bool open_ = false;
    QString error_;
};

// Reads the inflated bytes of a file holding exactly one gzip member: anything after the
// member, a damaged stream or an early end is an error.
class GzipReader {
public:
    GzipReader();
    ~GzipReader();
    GzipReader(const GzipReader&) = delete;
    GzipReader& operator=(const GzipReader&) = delete;

    bool open(const QString& path, QString* error);
    // Fills exactly count bytes; false at the end of the stream or on an error (see
    // atEnd() and errorString()).
    bool read(char* out, qint64 count);
    // True once the member has ended cleanly and nothing follows it.
    bool atEnd() const { return finished_; }
    QString errorString() const { return error_; }
    qint64 inflatedBytes() const { return inflated_; }

private:
    bool refill();
    QFile file_;
    std::unique_ptr<z_stream_s> stream_;
    QByteArray input_;
    bool open_ = false;
    bool finished_ = false;
    qint64 inflated_ = 0;
    QString error_;
};
