// The server's event stream, cut into chunks at the input's 0xFF bytes as the network would
// deliver it; the decoder must never hold more than one line's limit.
#include "app/activity/EventStreamDecoder.h"
#include "fuzz/FuzzInput.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray bytes = FuzzInput::bytes(data, size);
    EventStreamDecoder decoder;
    for (const QByteArray& chunk : bytes.split('\xff')) {
        for (const QString& line : decoder.feed(chunk))
            FuzzInput::require(!line.isEmpty() && line == line.trimmed(), "lines come trimmed");
        FuzzInput::require(decoder.bufferedBytes() <= EventStreamDecoder::kMaxLineBytes,
                           "a partial line stays within the limit");
    }
    decoder.reset();
    FuzzInput::require(decoder.bufferedBytes() == 0, "reset forgets the partial line");
    return 0;
}
