#include "app/update/UpdateError.h"
#include "app/update/UpdateFeed.h"
#include "shared/JsonReader.h"

#include "tests/support/QtPrinters.h"

#include <gtest/gtest.h>

namespace {

const QUrl kFeed("https://team.example.com/downloads/latest.json");

// The failure a feed body ends in: the error's text, or "" when it gives a release.
QString failureOf(const QByteArray& body) {
    try {
        UpdateFeed::releaseFrom(body, kFeed);
    } catch (const KelvaneError& e) {
        return e.description();
    }
    return {};
}

const QString kBadResponse = UpdateError(UpdateError::Kind::badResponse).description();
const QString kUntrusted = UpdateError(UpdateError::Kind::untrustedURL).description();

} // namespace

TEST(FeedRules, AReleaseNeedsBuildAndUrlAndAVersionDefaultsToAQuestionMark) {
    const UpdateRelease r = UpdateFeed::releaseFrom(
        R"({"version": "1.5.0", "build": "58", "url": "https://team.example.com/dl/K.tar.gz",
            "published": "2024-05-01T12:00:00Z"})",
        kFeed);
    EXPECT_EQ(r.version, "1.5.0");
    EXPECT_EQ(r.build, "58");
    EXPECT_EQ(r.url.toString(), "https://team.example.com/dl/K.tar.gz");
    ASSERT_TRUE(r.published);
    EXPECT_EQ(*r.published, QDateTime(QDate(2024, 5, 1), QTime(12, 0), Qt::UTC));

    const UpdateRelease bare = UpdateFeed::releaseFrom(
        R"({"build": "58", "url": "https://team.example.com/K.tar.gz", "published": "soon"})",
        kFeed);
    EXPECT_EQ(bare.version, "?");
    EXPECT_FALSE(bare.published);
    EXPECT_EQ(failureOf(R"({"build": "58", "url": "https://team.example.com/K", "extra": 1})"), "");
}

TEST(FeedRules, EachCheckFailsWithItsOwnText) {
    EXPECT_EQ(failureOf(R"({"version": "1"})"), kBadResponse);
    EXPECT_EQ(failureOf(R"({"url": "https://team.example.com/K"})"), kBadResponse);
    EXPECT_EQ(failureOf(R"({"build": "58"})"), kBadResponse);
    EXPECT_EQ(failureOf(R"({"build": null, "url": null})"), kBadResponse);
    EXPECT_EQ(failureOf(R"({"build": "58", "url": ""})"), kBadResponse);
    EXPECT_EQ(failureOf(R"({"build": "58", "url": "https://exa mple.com/K"})"), kBadResponse);
    EXPECT_EQ(failureOf(R"({"build": "58", "url": "http://team.example.com/K"})"), kUntrusted);
    EXPECT_EQ(failureOf(R"({"build": "58", "url": "HTTPS://team.example.com/K"})"), kUntrusted);
    EXPECT_EQ(failureOf(R"({"build": "58", "url": "//team.example.com/K"})"), kUntrusted);
    EXPECT_EQ(failureOf(R"({"build": "58", "url": "/downloads/K.tar.gz"})"), kUntrusted);
    EXPECT_EQ(failureOf(R"({"build": "58", "url": "https://evil.example.com/K"})"), kUntrusted);
    EXPECT_EQ(failureOf(R"({"build": "58", "url": "https://team.example.com.evil/K"})"),
              kUntrusted);
    // The scheme is checked before the host.
    EXPECT_EQ(failureOf(R"({"build": "58", "url": "ftp://evil.example.com/K"})"), kUntrusted);
}

TEST(FeedRules, BodiesThatDoNotDecodeEndWithTheDecodingError) {
    EXPECT_TRUE(failureOf("<html>not json</html>").startsWith("the data is not valid JSON"));
    EXPECT_EQ(failureOf("[1, 2]"), "expected a JSON object at the top level");
    EXPECT_EQ(failureOf(R"({"build": 58, "url": "https://team.example.com/K"})"),
              "update feed: key \"build\": expected a string, found a number");
    EXPECT_EQ(failureOf(R"({"build": "58", "url": ["https://team.example.com/K"]})"),
              "update feed: key \"url\": expected a string, found an array");
}
