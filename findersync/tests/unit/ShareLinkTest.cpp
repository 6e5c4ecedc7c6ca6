#include "findersync/ShareLink.h"

#include <QDir>
#include <gtest/gtest.h>

TEST(ShareLink, EncodesEveryPieceByteByByteKeepingOnlyWhatAPathAllows) {
    EXPECT_EQ(ShareLink::encodePiece("Q3 plan.pdf"), "Q3%20plan.pdf");
    EXPECT_EQ(ShareLink::encodePiece("a#b?c%d"), "a%23b%3Fc%25d");
    EXPECT_EQ(ShareLink::encodePiece("line\nbreak"), "line%0Abreak");
    EXPECT_EQ(ShareLink::encodePiece("caf\xC3\xA9"), "caf%C3%A9");
    EXPECT_EQ(ShareLink::encodePiece("bad\xFF\xFE"), "bad%FF%FE");
    EXPECT_EQ(ShareLink::encodePiece("-._~!$&'()*+,:=@"), "-._~!$&'()*+,:=@");
    EXPECT_EQ(ShareLink::encodePiece(";[]\"<>\\^`{|}"), "%3B%5B%5D%22%3C%3E%5C%5E%60%7B%7C%7D");
}

TEST(ShareLink, BuildsFolderAndFileLinksFromThePathInsideTheFilespace) {
    EXPECT_EQ(ShareLink::linkFor("https://ws.example.com", "Plans/Q3 plan.pdf", false),
              "https://ws.example.com/view/Plans/Q3%20plan.pdf");
    EXPECT_EQ(ShareLink::linkFor("https://ws.example.com", "Plans", true),
              "https://ws.example.com/files/Plans");
    EXPECT_EQ(ShareLink::linkFor("http://h:8", "a//b/", true), "http://h:8/files/a/b");
}

TEST(ShareLink, CleansPathsAndDecodesFileURIs) {
    EXPECT_EQ(ShareLink::cleanAbsolute("/a/./b//c/../d/"), "/a/b/d");
    EXPECT_EQ(ShareLink::cleanAbsolute("/../../x"), "/x");
    EXPECT_EQ(ShareLink::cleanAbsolute("/"), "/");
    EXPECT_EQ(ShareLink::cleanAbsolute("rel/x"), QDir::currentPath().toUtf8() + "/rel/x");
    EXPECT_EQ(ShareLink::pathFromArgument("file:///a/Q3%20plan%23.pdf"), "/a/Q3 plan#.pdf");
    EXPECT_EQ(ShareLink::pathFromArgument("file://localhost/a/%FF"), "/a/\xFF");
    EXPECT_EQ(ShareLink::pathFromArgument("file://server/share/x"), "");
    EXPECT_EQ(ShareLink::pathFromArgument("/plain/100%"), "/plain/100%");
}
