#include "app/shell/KelvaneLink.h"

#include <gtest/gtest.h>

using KelvaneLink::workspacePath;

TEST(KelvaneLink, OpenHostAndFilespaceHostNameTheSamePath) {
    EXPECT_EQ(workspacePath("kelvane://open/Team/Plans"), "/Team/Plans");
    EXPECT_EQ(workspacePath("kelvane://Team/Plans"), "/Team/Plans");
    // The host keeps its case: filespace names are case-sensitive.
    EXPECT_EQ(workspacePath("kelvane://Team"), "/Team");
    EXPECT_EQ(workspacePath("kelvane:/Team/Plans"), "/Team/Plans");
    EXPECT_EQ(workspacePath("kelvane://open/Team/Plans?x=1#top"), "/Team/Plans");
}

TEST(KelvaneLink, OnlyTheKelvaneSchemeExactlyIsTaken) {
    EXPECT_EQ(workspacePath("https://open/Team/Plans"), std::nullopt);
    EXPECT_EQ(workspacePath("Kelvane://open/Team"), std::nullopt);
    EXPECT_EQ(workspacePath("KELVANE://open/Team"), std::nullopt);
    EXPECT_EQ(workspacePath("/Team/Plans"), std::nullopt);
    EXPECT_EQ(workspacePath(""), std::nullopt);
    EXPECT_EQ(workspacePath("kelvane://open/a b"), std::nullopt) << "not a URL";
}

TEST(KelvaneLink, NoHostAndNoPathPassAnEmptyPathOn) {
    EXPECT_EQ(workspacePath("kelvane://"), "");
    EXPECT_EQ(workspacePath("kelvane:"), "");
    EXPECT_EQ(workspacePath("kelvane://open"), "");
}

TEST(KelvaneLink, PercentEncodingIsRemovedUnlessBroken) {
    EXPECT_EQ(workspacePath("kelvane://open/Team/Q3%20Plans/r%C3%A9sum%C3%A9.pdf"),
              QString::fromUtf8("/Team/Q3 Plans/résumé.pdf"));
    EXPECT_EQ(workspacePath("kelvane://Team%20A/x"), "/Team A/x");
    // Broken sequences and bytes that are not UTF-8 keep the encoded text.
    EXPECT_EQ(workspacePath("kelvane://open/Team/100%25"), "/Team/100%");
    EXPECT_EQ(workspacePath("kelvane://open/Team/%FF"), "/Team/%FF");
    EXPECT_EQ(KelvaneLink::removingPercentEncoding("a%2"), std::nullopt);
    EXPECT_EQ(KelvaneLink::removingPercentEncoding("a%zz"), std::nullopt);
}
