#include "platform/Paths.h"
#include "platform/UserDefaults.h"
#include "tests/support/TestHome.h"

#include <gtest/gtest.h>

TEST(Paths, EveryPathFollowsTheHomeFolder) {
    TestHome home;
    const QString h = home.path();
    EXPECT_EQ(Paths::home(), h);
    EXPECT_EQ(Paths::defaultsFile(), h + "/.config/kelvane/defaults.conf");
    EXPECT_EQ(Paths::credentialsFile(), h + "/.local/share/kelvane/credentials.json");
    EXPECT_EQ(Paths::extensionSupportDir("com.30814qv.kelvane.findersync"),
              h + "/.var/app/com.30814qv.kelvane.findersync/data/Kelvane");
    EXPECT_EQ(Paths::juicefsLogFile(), h + "/.juicefs/juicefs.log");
    EXPECT_EQ(Paths::fileProviderDomainsFile(),
              h + "/.local/share/kelvane/fileprovider/domains.json");
    EXPECT_EQ(Paths::cloudStorageRoot(), h + "/.local/share/kelvane/CloudStorage/Kelvane");
    EXPECT_EQ(Paths::autostartEntry(), h + "/.config/autostart/kelvane.desktop");

    const QString runtime = Paths::runtimeDir();
    TestHome other;
    EXPECT_NE(Paths::runtimeDir(), runtime) << "two homes must never share runtime files";
}

TEST(UserDefaults, ValuesSurviveANewInstanceAndRemoval) {
    TestHome home;
    {
        UserDefaults defaults;
        EXPECT_FALSE(defaults.string("kelvane_api_url"));
        EXPECT_TRUE(defaults.data("kelvane_settings").isEmpty());
        defaults.setValue("kelvane_api_url", "http://h/api");
        defaults.setValue("kelvane_settings", QByteArray("{\"a\":1}\n\x01"));
        defaults.setValue("kelvane_login_item_migrated", true);
    }
    UserDefaults again;
    EXPECT_EQ(again.string("kelvane_api_url"), "http://h/api");
    EXPECT_EQ(again.data("kelvane_settings"), QByteArray("{\"a\":1}\n\x01"));
    EXPECT_TRUE(again.boolean("kelvane_login_item_migrated"));
    again.remove("kelvane_api_url");
    EXPECT_FALSE(UserDefaults().string("kelvane_api_url"));
}
