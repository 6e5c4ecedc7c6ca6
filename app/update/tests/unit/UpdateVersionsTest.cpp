#include "app/settings/AppSettings.h"
#include "app/update/UpdateFeed.h"
#include "app/update/Updater.h"
#include "platform/UserDefaults.h"
#include "tests/support/TestHome.h"

#include "tests/support/QtPrinters.h"
#include <QNetworkAccessManager>

#include <gtest/gtest.h>

TEST(UpdateVersions, DigitsKeepEveryNumberCharacterAndReadOnlyAsciiOnes) {
    EXPECT_EQ(Updater::digits("1.4.2 (57)"), 14257);
    EXPECT_EQ(Updater::digits("build-0042"), 42);
    EXPECT_EQ(Updater::digits("57"), 57);
    EXPECT_EQ(Updater::digits("123456789012345678"), 123456789012345678LL);
    EXPECT_EQ(Updater::digits("1234567890123456789"), std::nullopt); // 19 digits
    EXPECT_EQ(Updater::digits(""), std::nullopt);
    EXPECT_EQ(Updater::digits("beta"), std::nullopt);
    // Numbers that are not ASCII digits are kept, and then the text does not read.
    EXPECT_EQ(Updater::digits(QString::fromUtf8("build \u0661\u0662")), std::nullopt);
    EXPECT_EQ(Updater::digits(QString::fromUtf8("1\u00bd")), std::nullopt);
    EXPECT_EQ(Updater::digits(QString::fromUtf8("\U0001D7D9")), std::nullopt); // outside the BMP
}

TEST(UpdateVersions, NewerComparesDigitsAndElseTheTextNumerically) {
    EXPECT_TRUE(Updater::isNewer("58", "57"));
    EXPECT_FALSE(Updater::isNewer("57", "57"));
    EXPECT_FALSE(Updater::isNewer("56", "57"));
    EXPECT_TRUE(Updater::isNewer("1.10", "1.9")); // 110 against 19
    EXPECT_TRUE(Updater::isNewer("build-0042", "41"));
    // More than 18 digits: digit runs by value, the rest character by character.
    EXPECT_TRUE(Updater::isNewer("2.1234567890123456789", "2.999999999999999999"));
    EXPECT_FALSE(Updater::isNewer("1.9999999999999999999", "1.10000000000000000000"));
    EXPECT_TRUE(Updater::isNewer("b", "a"));
    EXPECT_FALSE(Updater::isNewer("a", "b"));
    EXPECT_FALSE(Updater::isNewer("007", "7")); // equal by value
    EXPECT_TRUE(Updater::isNewer("beta", "alpha"));
    EXPECT_TRUE(Updater::isNewer("rc10", "rc9"));
    EXPECT_TRUE(Updater::isNewer("1", "0"));
}

TEST(UpdateVersions, TheFeedBaseTrimsSlashesAndOneApiAndFallsBackToTheStoredAddress) {
    using UpdateFeed::base;
    EXPECT_EQ(base(QString("https://team.example.com/api/"), std::nullopt),
              "https://team.example.com");
    EXPECT_EQ(base(QString("  https://team.example.com///\n"), std::nullopt),
              "https://team.example.com");
    EXPECT_EQ(base(QString("https://x.test/api/api"), std::nullopt), "https://x.test/api");
    EXPECT_EQ(base(QString("https://x.test/api//"), std::nullopt), "https://x.test");
    EXPECT_EQ(base(QString("https://x.test/apis"), std::nullopt), "https://x.test/apis");
    EXPECT_EQ(base(QString("https://x.test/v1/api"), std::nullopt), "https://x.test/v1");
    EXPECT_EQ(base(std::nullopt, QString("http://127.0.0.1:8080/api")), "http://127.0.0.1:8080");
    // A site address, even an empty one, wins over the stored one.
    EXPECT_EQ(base(QString(""), QString("http://stored.test")), "");
    EXPECT_EQ(base(std::nullopt, std::nullopt), "");
    EXPECT_EQ(base(QString("/"), std::nullopt), "");

    EXPECT_EQ(UpdateFeed::feedURL("https://team.example.com")->toString(),
              "https://team.example.com/downloads/latest.json");
    EXPECT_FALSE(UpdateFeed::feedURL(""));
    EXPECT_FALSE(UpdateFeed::feedURL("team.example.com"));
    EXPECT_FALSE(UpdateFeed::feedURL("https://exa mple.com"));
}

TEST(UpdateVersions, TheUpdaterTakesItsSiteAddressOrTheOneStoredAtSignIn) {
    TestHome home;
    UserDefaults defaults;
    QNetworkAccessManager network;
    Updater updater(defaults, network, [] {});
    EXPECT_EQ(updater.feedBase(), "");
    defaults.setValue(DefaultsKeys::kApiURL, "http://stored.test/api");
    EXPECT_EQ(updater.feedBase(), "http://stored.test");
    updater.setSiteURL(QString("https://site.test/api/"));
    EXPECT_EQ(updater.feedBase(), "https://site.test");
    // Outside a bundle the version reads as "0".
    EXPECT_EQ(Updater::currentVersion(), "0");
    EXPECT_EQ(Updater::currentBuild(), "0");
}
