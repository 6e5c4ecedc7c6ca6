// The engine's log and a failed run's output, from which the reason a user sees is taken.
#include "app/mount/JuicefsLog.h"
#include "fuzz/FuzzInput.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray bytes = FuzzInput::bytes(data, size);
    JuicefsLog::reasonFromLine(bytes);
    JuicefsLog::reasonFromOutput(bytes);
    JuicefsLog::withoutSourceTag(QString::fromUtf8(bytes));
    const auto fromText = JuicefsLog::lastFatal(bytes);
    const QString file = FuzzInput::fileHolding(bytes);
    // Below the tail the file reader keeps, it must see the whole text.
    if (size < 1024 * 1024)
        FuzzInput::require(JuicefsLog::lastFatalFromFile(file) == fromText,
                           "the file reader finds what the text reader finds");
    JuicefsLog::lastFatalOfProcess(file, 4242);
    return 0;
}
