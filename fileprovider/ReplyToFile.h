#pragma once

#include <QByteArray>
#include <QFile>
#include <QNetworkReply>
#include <functional>
#include <optional>

// Writes a reply's body into a file from the file's current position while it arrives, in
// chunks of at least 1 MiB so the disk sees few large writes. An answer the caller does not
// accept is dropped unread and its reply aborted; so is everything past the byte limit.
class ReplyToFile {
public:
    static constexpr qint64 kChunk = 1024 * 1024;
    static constexpr qint64 kSlice = 64 * 1024;

    struct Options {
        // Most bytes to take; negative: no limit.
        qint64 limit = -1;
        // Looked at once, when the answer's headers are in.
        std::function<bool(const QNetworkReply&)> accept;
        // After each write, with the bytes written so far.
        std::function<void(qint64 written)> onWrite;
    };

    ReplyToFile(QNetworkReply& reply, QFile& file, Options options);
    ReplyToFile(const ReplyToFile&) = delete;
    ReplyToFile& operator=(const ReplyToFile&) = delete;

    // Takes what is left in the reply and writes everything buffered; call once it finished.
    void flush();

    qint64 written() const { return written_; }
    bool refused() const { return refused_; }
    // The byte limit was reached (and the rest of the answer dropped).
    bool full() const { return full_; }
    // Fewer bytes came than the answer announced. (Qt ends a reply whose connection closes
    // mid-body as if it were complete.)
    bool cutShort() const;
    const std::optional<QString>& fileError() const { return fileError_; }

private:
    void take();
    bool judge();
    bool endsAtLimit() const;
    // The body length the answer announced; -1 when it did not.
    qint64 announced() const;
    void write();

    QNetworkReply& reply_;
    QFile& file_;
    Options options_;
    QByteArray buffer_;
    qint64 written_ = 0;
    qint64 received_ = 0;
    bool judged_ = false;
    bool refused_ = false;
    bool full_ = false;
    std::optional<QString> fileError_;
    QMetaObject::Connection readyRead_;
};
