#include "app/settings/AppSettings.h"
#include "platform/UserDefaults.h"
#include "tests/support/TestHome.h"

#include <gtest/gtest.h>

TEST(AppSettings, DefaultsAreBuiltFromTheHomeFolder) {
    TestHome home;
    const AppSettings s = AppSettings::load(UserDefaults());
    EXPECT_EQ(s.apiURL, "");
    EXPECT_EQ(s.storageMode, StorageMode::directMount);
    EXPECT_EQ(s.cacheDir, home.path() + "/.kelvane/cache");
    EXPECT_EQ(s.cacheSizeMB, 307200);
    EXPECT_EQ(s.mountPoint, home.path() + "/Kelvane");
    EXPECT_TRUE(s.launchAtLogin);
    EXPECT_TRUE(s.automaticUpdates);
    EXPECT_EQ(s.appearance, AppearanceMode::system);
    EXPECT_EQ(AppSettings::decode(QByteArray()), s);
}

TEST(AppSettings, MissingKeysDefaultAndStoredModeIsNeverReadBack) {
    TestHome home;
    AppSettings only = AppSettings::decode(R"({"apiURL":"http://h/api"})");
    EXPECT_EQ(only.apiURL, "http://h/api");
    EXPECT_EQ(only.mountPoint, home.path() + "/Kelvane");

    const AppSettings fp = AppSettings::decode(
        R"({"storageMode":"fileprovider","launchAtLogin":false,"appearance":"dark","cacheSizeMB":8589934592})");
    EXPECT_EQ(fp.storageMode, StorageMode::directMount);
    EXPECT_FALSE(fp.launchAtLogin);
    EXPECT_EQ(fp.appearance, AppearanceMode::dark);
    EXPECT_EQ(fp.cacheSizeMB, 8589934592LL);
}

TEST(AppSettings, AnyTypeErrorAbandonsTheWholeRecord) {
    TestHome home;
    const AppSettings defaults;
    for (const char* bad :
         {R"({"apiURL":"http://h","appearance":"sepia"})",
          R"({"apiURL":"http://h","cacheSizeMB":"10"})",
          R"({"apiURL":"http://h","cacheSizeMB":1.5})",
          R"({"apiURL":"http://h","launchAtLogin":"no"})",
          R"({"apiURL":"http://h","storageMode":7})", R"(["apiURL"])", "not json"})
        EXPECT_EQ(AppSettings::decode(bad), defaults) << bad;
}

TEST(AppSettings, SaveAndLoadRoundTripExceptTheMode) {
    TestHome home;
    UserDefaults defaults;
    AppSettings s;
    s.apiURL = "https://ws.example.com/api";
    s.storageMode = StorageMode::fileprovider;
    s.cacheDir = "/var/cache/k";
    s.cacheSizeMB = 1024;
    s.mountPoint = "/mnt/drives/k";
    s.launchAtLogin = false;
    s.automaticUpdates = false;
    s.appearance = AppearanceMode::light;
    s.save(defaults);

    AppSettings expected = s;
    expected.storageMode = StorageMode::directMount;
    EXPECT_EQ(AppSettings::load(UserDefaults()), expected);
    EXPECT_TRUE(defaults.data("kelvane_settings").contains("\"storageMode\":\"fileprovider\""));
}

TEST(AppSettings, RawValuesRoundTrip) {
    for (StorageMode m : allStorageModes())
        EXPECT_EQ(storageModeFromRaw(rawValue(m)), m);
    for (AppearanceMode m : allAppearanceModes())
        EXPECT_EQ(appearanceModeFromRaw(rawValue(m)), m);
    EXPECT_FALSE(storageModeFromRaw("DirectMount"));
    EXPECT_FALSE(appearanceModeFromRaw(""));
    EXPECT_EQ(allAppearanceModes().size(), 3);
}
