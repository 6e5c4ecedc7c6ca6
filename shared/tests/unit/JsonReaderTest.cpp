#include "shared/JsonReader.h"

#include <gtest/gtest.h>

namespace {

QString failureOf(const std::function<void()>& decode) {
    try {
        decode();
    } catch (const DecodingError& e) {
        return e.description();
    }
    return QString();
}

} // namespace

TEST(JsonReader, KeepsSixtyFourBitIntegersExact) {
    const JsonReader r(JsonReader::parseObject(
        R"({"big": 9007199254740993, "max": 9223372036854775807, "neg": -5, "whole": 3.0})"));
    EXPECT_EQ(r.int64("big"), 9007199254740993LL);
    EXPECT_EQ(r.int64("max"), std::numeric_limits<qint64>::max());
    EXPECT_EQ(r.int64("neg"), -5);
    EXPECT_EQ(r.int64("whole"), 3);
}

TEST(JsonReader, MessagesNameTheKeyAndTheProblem) {
    const JsonReader r(
        JsonReader::parseObject(
            R"({"s": 1, "n": null, "f": 1.5, "huge": 1e30, "m": {"a": 2}, "l": ["x", false]})"),
        "record");
    EXPECT_EQ(failureOf([&] { r.string("missing"); }), "record: key \"missing\" not found");
    EXPECT_EQ(failureOf([&] { r.string("s"); }),
              "record: key \"s\": expected a string, found a number");
    EXPECT_EQ(failureOf([&] { r.string("n"); }),
              "record: key \"n\": expected a string, found null");
    EXPECT_NE(failureOf([&] { r.int64("f"); }), "");
    EXPECT_NE(failureOf([&] { r.int64("huge"); }), "");
    EXPECT_EQ(failureOf([&] { r.optionalStringMap("m"); }),
              "record: key \"m.a\": expected a string, found a number");
    EXPECT_EQ(failureOf([&] { r.optionalStringList("l"); }),
              "record: key \"l[1]\": expected a string, found a boolean");
    EXPECT_FALSE(r.optionalString("n"));
    EXPECT_FALSE(r.optionalInt64("absent"));
    EXPECT_TRUE(failureOf([] {
                    JsonReader::parseObject("<html>");
                }).startsWith("the data is not valid JSON"));
    EXPECT_EQ(failureOf([] { JsonReader::parseObject("[1]"); }),
              "expected a JSON object at the top level");
}
