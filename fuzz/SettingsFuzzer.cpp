// The stored settings record: decoding never fails, and what it yields encodes and decodes
// back to itself.
#include "app/settings/AppSettings.h"
#include "fuzz/FuzzInput.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    FuzzInput::useScratchHome();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const AppSettings settings = AppSettings::decode(FuzzInput::bytes(data, size));
    FuzzInput::require(AppSettings::decode(settings.encode()) == settings,
                       "decoded settings survive their own encoding");
    return 0;
}
