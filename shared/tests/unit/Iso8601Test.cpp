#include "shared/Iso8601.h"
#include "shared/JsonReader.h"
#include "shared/SyncStatus.h"

#include <gtest/gtest.h>

namespace {

TEST(Iso8601Test, EveryDateItReadsWritesBackToTheSameDate) {
    for (const char* text :
         {"2024-05-01T12:00:03+02:00", "9999-12-31T23:59:59Z", "9999-12-31T23:59:59+01:00",
          "0001-01-01T00:00:00Z", "0001-01-01T00:59:59-00:30"}) {
        const auto time = Iso8601::parse(text);
        ASSERT_TRUE(time) << text;
        EXPECT_EQ(Iso8601::parse(Iso8601::format(*time)), time) << text;
    }
    EXPECT_EQ(Iso8601::format(*Iso8601::parse("9999-12-31T23:59:59+01:00")),
              "9999-12-31T22:59:59Z");
}

TEST(Iso8601Test, RefusesDatesAnOffsetCarriesOutOfTheFourDigitYears) {
    EXPECT_FALSE(Iso8601::parse("9999-12-31T23:59:59-01:00"));
    EXPECT_FALSE(Iso8601::parse("0001-01-01T00:00:00+00:01"));
    // A ledger holding such a date is refused as a whole, as any other bad date is, instead of
    // being written back in a form that no later read accepts.
    EXPECT_THROW(SyncStatus::fromJson(R"({"transfers":[],"updatedAt":"9999-12-31T23:59:59-01:00",)"
                                      R"("activeEnumerations":0})"),
                 DecodingError);
}

} // namespace
