#include "app/api/Filespace.h"
#include "app/api/ProvisionConfig.h"
#include "app/api/StorageStatsResponse.h"
#include "app/api/User.h"
#include "shared/JsonReader.h"

#include <gtest/gtest.h>

namespace {

QJsonObject obj(const char* json) {
    return JsonReader::parseObject(json);
}

const char* kTeam =
    R"({"id":"fs-1","name":"Team","metadata_public_url":"file:///d","volume_name":"team","mount_name":"Team","extra":true})";

} // namespace

TEST(WorkspaceRecords, FilespaceDecodesStrictlyAndRoundTrips) {
    const Filespace f = Filespace::fromJson(obj(kTeam));
    EXPECT_EQ(f.mountName, "Team");
    EXPECT_EQ(Filespace::fromJson(f.toJson()), f);

    Filespace other = f;
    other.volumeName = "x";
    EXPECT_NE(other, f);

    QJsonObject missing = obj(kTeam);
    missing.remove("mount_name");
    EXPECT_THROW(Filespace::fromJson(missing), DecodingError);
    QJsonObject nulled = obj(kTeam);
    nulled.insert("name", QJsonValue::Null);
    EXPECT_THROW(Filespace::fromJson(nulled), DecodingError);

    // One bad element fails the list, and the message says which.
    const QJsonArray list{obj(kTeam), missing};
    try {
        Filespace::listFromJson(list);
        FAIL() << "a list with a bad element decoded";
    } catch (const DecodingError& e) {
        EXPECT_TRUE(e.description().contains("filespaces[1]"));
        EXPECT_TRUE(e.description().contains("mount_name"));
    }
    EXPECT_THROW(Filespace::listFromJson(QJsonArray{obj(kTeam), 3}), DecodingError);
}

TEST(WorkspaceRecords, ProvisionConfigFieldsAreOptional) {
    EXPECT_EQ(ProvisionConfig::fromJson(obj("{}")), ProvisionConfig{});
    EXPECT_EQ(ProvisionConfig::fromJson(obj("{}")).toJson(), QJsonObject{});
    const ProvisionConfig c = ProvisionConfig::fromJson(
        obj(R"({"metadata_public_url":"redis://m","mount_options":{"buffer-size":"1024"}})"));
    EXPECT_EQ(c.metadataPublicURL, "redis://m");
    EXPECT_EQ(c.mountOptions->value("buffer-size"), "1024");
    EXPECT_EQ(ProvisionConfig::fromJson(c.toJson()), c);
    EXPECT_THROW(ProvisionConfig::fromJson(obj(R"({"mount_options":{"a":1}})")), DecodingError);
    EXPECT_THROW(ProvisionConfig::fromJson(obj(R"({"mount_options":[]})")), DecodingError);
}

TEST(WorkspaceRecords, StorageStatsAreSixtyFourBit) {
    const auto s = StorageStatsResponse::fromJson(
        obj(R"({"used_bytes":5000000000123,"file_count":3,"dir_count":2})"));
    EXPECT_EQ(s.usedBytes, 5000000000123LL);
    EXPECT_EQ(StorageStatsResponse::fromJson(s.toJson()), s);
    EXPECT_THROW(
        StorageStatsResponse::fromJson(obj(R"({"used_bytes":"5","file_count":3,"dir_count":2})")),
        DecodingError);
    EXPECT_THROW(StorageStatsResponse::fromJson(obj(R"({"used_bytes":5,"file_count":3})")),
                 DecodingError);
}

TEST(WorkspaceRecords, UserNeedsEveryField) {
    const User u = User::fromJson(obj(R"({"id":"u1","email":"a@b","name":"A","role":"admin"})"));
    EXPECT_EQ(User::fromJson(u.toJson()), u);
    EXPECT_THROW(User::fromJson(obj(R"({"id":"u1","email":"a@b","name":"A"})")), DecodingError);
}
