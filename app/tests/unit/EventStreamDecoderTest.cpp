#include "app/activity/EventStreamDecoder.h"

#include <gtest/gtest.h>

namespace {

// Suite names start with SyncListener: the decoder is the listener's line buffer.
TEST(SyncListenerEventStreamDecoder, CompleteLinesAreTrimmedAndBlankOnesDropped) {
    EventStreamDecoder decoder;
    EXPECT_EQ(decoder.feed("event: file-change\ndata: {\"path\":\"/a\"}\n\n  \r\n"),
              (QStringList{"event: file-change", "data: {\"path\":\"/a\"}"}));
    EXPECT_EQ(decoder.bufferedBytes(), 0);
}

TEST(SyncListenerEventStreamDecoder, ALineSplitAcrossChunksComesOutWhenItsLineFeedArrives) {
    EventStreamDecoder decoder;
    EXPECT_TRUE(decoder.feed("event: file-ch").isEmpty());
    EXPECT_TRUE(decoder.feed("ang").isEmpty());
    EXPECT_EQ(decoder.feed("e\r\nevent: x"), QStringList{"event: file-change"});
    EXPECT_EQ(decoder.feed("\n"), QStringList{"event: x"});
}

TEST(SyncListenerEventStreamDecoder, MultiByteCharactersSplitAcrossChunksStayWhole) {
    const QByteArray line = QStringLiteral("data: Grüße 日本 🚀\n").toUtf8();
    // Every split point, including each one inside a multi-byte character.
    for (qsizetype cut = 1; cut < line.size(); ++cut) {
        EventStreamDecoder decoder;
        QStringList lines = decoder.feed(line.left(cut));
        lines += decoder.feed(line.mid(cut));
        EXPECT_EQ(lines, QStringList{QStringLiteral("data: Grüße 日本 🚀")}) << "cut at " << cut;
    }
    EventStreamDecoder byteByByte;
    QStringList lines;
    for (char c : line + "event: file-change\n")
        lines += byteByByte.feed(QByteArray(1, c));
    EXPECT_EQ(lines, (QStringList{QStringLiteral("data: Grüße 日本 🚀"), "event: file-change"}));
}

TEST(SyncListenerEventStreamDecoder, GarbageNeverHidesTheNextGoodLine) {
    EventStreamDecoder decoder;
    const QStringList lines =
        decoder.feed(QByteArray("\xff\xfe\x80 junk\n\0\0\n", 12) + "event: file-change\n");
    ASSERT_EQ(lines.size(), 3);
    EXPECT_EQ(lines.last(), "event: file-change");
}

TEST(SyncListenerEventStreamDecoder, AnEndlessLineIsDroppedUpToItsLineFeed) {
    EventStreamDecoder decoder;
    const QByteArray block(16 * 1024, 'x');
    for (int i = 0; i < 10; ++i) {
        EXPECT_TRUE(decoder.feed(block).isEmpty());
        EXPECT_LE(decoder.bufferedBytes(), EventStreamDecoder::kMaxLineBytes);
    }
    EXPECT_EQ(decoder.feed("tail of the long line\nevent: file-change\n"),
              QStringList{"event: file-change"});
}

} // namespace
