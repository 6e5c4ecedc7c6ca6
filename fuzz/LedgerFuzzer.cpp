// The sync-status ledger the extension writes and the application polls, and the dates in
// it: what reads must write back to the same, or the next read would lose it.
#include "fuzz/FuzzInput.h"
#include "shared/Iso8601.h"
#include "shared/JsonReader.h"
#include "shared/SyncStatus.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray bytes = FuzzInput::bytes(data, size);
    if (const auto time = Iso8601::parse(QString::fromUtf8(bytes))) {
        const auto again = Iso8601::parse(Iso8601::format(*time));
        FuzzInput::require(again && *again == *time, "a parsed date reads back from its text");
    }
    try {
        const SyncStatus status = SyncStatus::fromJson(bytes);
        SyncStatus again;
        try {
            again = SyncStatus::fromJson(status.toJson());
        } catch (const DecodingError&) {
            FuzzInput::require(false, "a decoded ledger decodes again from its own JSON");
        }
        FuzzInput::require(again == status, "a decoded ledger survives its own JSON");
    } catch (const DecodingError&) {
    }
    SyncStatus::load(FuzzInput::fileHolding(bytes));
    return 0;
}
