#include "shared/InvalidationToken.h"
#include "tests/support/TestHome.h"

#include <QFile>
#include <gtest/gtest.h>

namespace {

void put(const QByteArray& bytes) {
    QFile f(InvalidationToken::file());
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

TEST(InvalidationTokenTest, FormatIsPlainDigits) {
    EXPECT_EQ(InvalidationToken::format(1'700'000'000'500), "1700000000500");
    EXPECT_EQ(InvalidationToken::format(0), "0");
    EXPECT_EQ(InvalidationToken::format(-5), "0");
}

TEST(InvalidationTokenTest, WriteCreatesTheFolderAndReplacesTheContent) {
    TestHome home;
    EXPECT_TRUE(InvalidationToken::file().startsWith(home.path() + "/.var/app/"));
    EXPECT_EQ(InvalidationToken::read(), "initial");
    ASSERT_TRUE(InvalidationToken::write(1'700'000'000'500));
    ASSERT_TRUE(InvalidationToken::write(42));
    QFile f(InvalidationToken::file());
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), "42");
    EXPECT_EQ(InvalidationToken::read(), "42");
}

TEST(InvalidationTokenTest, ReadTrimsAndFallsBackToInitial) {
    TestHome home;
    ASSERT_TRUE(InvalidationToken::write(1));
    put(" 123\r\n");
    EXPECT_EQ(InvalidationToken::read(), "123");
    put("  \n");
    EXPECT_EQ(InvalidationToken::read(), "initial");
    put("\xff\xfe");
    EXPECT_EQ(InvalidationToken::read(), "initial");
}

} // namespace
