#include "platform/AtomicFile.h"
#include "shared/FileProviderConfig.h"
#include "shared/FinderSyncConfig.h"
#include "shared/JsonReader.h"
#include "shared/SharedConfigPayload.h"
#include "tests/support/TestHome.h"

#include <gtest/gtest.h>

namespace {

QString writeConfig(const TestHome& home, const QByteArray& json) {
    const QString file = home.file("config.json");
    EXPECT_TRUE(AtomicFile::write(file, json));
    return file;
}

} // namespace

TEST(SharedConfigPayload, LeavesAbsentValuesOutAndRejectsWrongTypes) {
    SharedConfigPayload p;
    p.apiURL = "http://h/api";
    p.mountPaths = QStringList{"/a", "/b"};
    const QByteArray json = p.toJson();
    EXPECT_FALSE(json.contains("token"));
    EXPECT_FALSE(json.contains("null"));
    EXPECT_EQ(SharedConfigPayload::fromJson(json), p);
    EXPECT_EQ(SharedConfigPayload::fromJson("{}"), SharedConfigPayload{});
    EXPECT_THROW(SharedConfigPayload::fromJson("{\"token\": 5}"), DecodingError);
    EXPECT_THROW(SharedConfigPayload::fromJson("{\"mountPaths\": [\"/a\", 1]}"), DecodingError);
    EXPECT_THROW(SharedConfigPayload::fromJson("[]"), DecodingError);
}

TEST(FileProviderConfig, RefusesUntilAddressAndTokenArePresent) {
    TestHome home;
    auto expectRefused = [&](const QByteArray& json) {
        const QString file = writeConfig(home, json);
        try {
            FileProviderConfig::resolve("/files?path=/", file);
            ADD_FAILURE() << "accepted " << json.constData();
        } catch (const NotConfiguredError& e) {
            EXPECT_EQ(e.description(), "API URL or auth token missing");
        }
    };
    expectRefused(R"({"token":"t"})");
    expectRefused(R"({"apiURL":"http://h/api"})");
    expectRefused(R"({"apiURL":"not a url","token":"t"})");
    expectRefused("{broken");
    EXPECT_THROW(FileProviderConfig::resolve("/x", home.file("missing.json")), NotConfiguredError);

    const QString file = writeConfig(home, R"({"apiURL":"http://h:8/api","token":"t"})");
    const auto target = FileProviderConfig::resolve("/files?path=/a", file);
    EXPECT_EQ(target.url.toString(), "http://h:8/api/files?path=/a");
    EXPECT_EQ(target.token, "t");
}

TEST(FinderSyncConfig, ExpandsTildesAgainstTheRealHomeAndFallsBackToItsKelvaneFolder) {
    TestHome home;
    const QString real = QStringLiteral("/home/someone");
    EXPECT_EQ(FinderSyncConfig::mountBase(real, home.file("missing.json")), real + "/Kelvane");

    QString file = writeConfig(
        home, R"({"mountBase":"~/Drives/","mountPaths":["~","~/Drives/Team","/abs//","rel"]})");
    EXPECT_EQ(FinderSyncConfig::mountBase(real, file), real + "/Drives");
    EXPECT_EQ(FinderSyncConfig::mountPaths(real, file),
              (QStringList{real, real + "/Drives/Team", "/abs"}));

    // Only "~" and "~/" expand; a base no drive can live under counts as absent.
    for (const char* unusable :
         {R"({"mountBase":"~other/x"})", R"({"mountBase":""})", R"({"mountBase":"/"})",
          R"({"mountBase":"///"})", R"({"mountBase":"Kelvane"})", "{garbage", "[]"}) {
        file = writeConfig(home, unusable);
        EXPECT_EQ(FinderSyncConfig::mountBase(real, file), real + "/Kelvane") << unusable;
        EXPECT_TRUE(FinderSyncConfig::mountPaths(real, file).isEmpty()) << unusable;
    }
    file = writeConfig(home, R"({"mountBase":"~"})");
    EXPECT_EQ(FinderSyncConfig::mountBase(real, file), real);
    EXPECT_EQ(FinderSyncConfig::mountBase("/", home.file("missing.json")), "/Kelvane");
}

TEST(FinderSyncConfig, SiteAddressDropsTrailingSlashesAndApi) {
    TestHome home;
    auto site = [&](const QByteArray& apiURL) {
        return FinderSyncConfig::siteURL(writeConfig(home, "{\"apiURL\":\"" + apiURL + "\"}"));
    };
    EXPECT_EQ(site("https://ws.example.com/api/"), "https://ws.example.com");
    EXPECT_EQ(site("https://ws.example.com/api//"), "https://ws.example.com");
    EXPECT_EQ(site("https://ws.example.com/"), "https://ws.example.com");
    EXPECT_EQ(site("https://ws.example.com/apix"), "https://ws.example.com/apix");
    EXPECT_EQ(site("https://ws.example.com/api/api"), "https://ws.example.com/api");
    // Fuzz finding: the slashes in front of "/api" went into every link as "//view".
    EXPECT_EQ(site("http://h//api"), "http://h");
    EXPECT_EQ(site("http://h//api//"), "http://h");
    EXPECT_EQ(site("ws.example.com/api"), "ws.example.com");
    EXPECT_FALSE(site("///"));
    EXPECT_FALSE(site("/api"));
    EXPECT_FALSE(site("//api"));
    EXPECT_FALSE(site(""));
    EXPECT_FALSE(FinderSyncConfig::siteURL(home.file("missing.json")));
    EXPECT_FALSE(FinderSyncConfig::siteURL(writeConfig(home, R"({"apiURL":5})")));
}
