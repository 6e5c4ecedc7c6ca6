// `kelvane status` renders what the running instance answers. The snapshot is JSON text, or,
// when the input starts with '#', activity figures taken raw from the input's bytes so that
// NaN, infinities and the extremes a drive's counters can produce reach the renderer.
#include "app/shell/StatusSnapshot.h"
#include "fuzz/FuzzInput.h"

#include <QJsonDocument>
#include <cstring>

namespace {

QJsonObject rawActivity(const std::uint8_t* data, std::size_t size) {
    static const char* const keys[] = {"uploadBacklogBytes", "uploadRate", "uploadETA",
                                       "uploading",          "staging",    "downloading"};
    QJsonObject activity{{"active", size % 2 == 0}};
    for (const char* key : keys) {
        if (size < sizeof(double))
            break;
        double value = 0;
        std::memcpy(&value, data, sizeof value);
        data += sizeof value;
        size -= sizeof value;
        activity.insert(QLatin1String(key), value);
    }
    return activity;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    QJsonObject snapshot;
    if (size > 0 && data[0] == '#')
        snapshot = {{"signedIn", true}, {"activity", rawActivity(data + 1, size - 1)}};
    else
        snapshot = QJsonDocument::fromJson(FuzzInput::bytes(data, size)).object();
    StatusSnapshot::renderText(snapshot);
    return 0;
}
