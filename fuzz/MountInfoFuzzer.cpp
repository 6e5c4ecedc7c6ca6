// /proc/self/mountinfo as the kernel could write it.
#include "fuzz/FuzzInput.h"
#include "platform/MountTable.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QList<MountTable::Entry> entries = MountTable::parse(FuzzInput::bytes(data, size));
    for (const MountTable::Entry& entry : entries) {
        const auto found = MountTable::find(entries, entry.mountPoint);
        FuzzInput::require(found && found->mountPoint == entry.mountPoint,
                           "every parsed mount point is found");
    }
    return 0;
}
