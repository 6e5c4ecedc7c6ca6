// The server's JSON answers for the records the application keeps: decoded strictly, and
// whatever decodes must come back the same through its own JSON form.
#include "app/api/Filespace.h"
#include "app/api/ProvisionConfig.h"
#include "app/api/StorageStatsResponse.h"
#include "app/api/User.h"
#include "fuzz/FuzzInput.h"
#include "shared/JsonReader.h"

#include <QJsonDocument>

namespace {

template <typename Record> void roundTrip(const QJsonObject& object) {
    try {
        const Record record = Record::fromJson(object);
        FuzzInput::require(Record::fromJson(record.toJson()) == record,
                           "a decoded record survives its own JSON");
    } catch (const DecodingError&) {
    }
}

void decodeLogin(const QJsonObject& object) {
    try {
        const JsonReader r(object);
        r.string("token");
        roundTrip<User>(r.object("user"));
    } catch (const DecodingError&) {
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QJsonDocument doc = QJsonDocument::fromJson(FuzzInput::bytes(data, size));
    if (doc.isArray()) {
        try {
            const QList<Filespace> list = Filespace::listFromJson(doc.array());
            QJsonArray again;
            for (const Filespace& f : list)
                again.append(f.toJson());
            FuzzInput::require(Filespace::listFromJson(again) == list,
                               "a decoded filespace list survives its own JSON");
        } catch (const DecodingError&) {
        }
        return 0;
    }
    const QJsonObject object = doc.object();
    roundTrip<User>(object);
    roundTrip<Filespace>(object);
    roundTrip<ProvisionConfig>(object);
    roundTrip<StorageStatsResponse>(object);
    decodeLogin(object);
    return 0;
}
