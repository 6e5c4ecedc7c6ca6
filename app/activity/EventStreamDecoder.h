#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QStringList>

// Cuts a server-sent event stream into lines. Bytes are kept until their line feed arrives,
// so a line or a multi-byte character split across chunks is decoded whole; a line that grows
// beyond the limit is dropped up to its line feed instead of filling memory.
class EventStreamDecoder {
public:
    static constexpr qsizetype kMaxLineBytes = 64 * 1024;

    // The lines completed by this chunk, trimmed, empty ones left out.
    QStringList feed(QByteArrayView chunk);
    // Forgets a partial line (a new connection starts clean).
    void reset();
    qsizetype bufferedBytes() const { return buffer_.size(); }

private:
    QByteArray buffer_;
    bool discarding_ = false;
};
