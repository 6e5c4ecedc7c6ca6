#include "platform/SchemeHandler.h"
#include "platform/Paths.h"
#include "tests/support/TestHome.h"

#include <QFile>
#include <gtest/gtest.h>

namespace {
QString read(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
}
} // namespace

TEST(SchemeHandler, EntryRunsThisProgramWithTheLinkAndDeclaresTheScheme) {
    const QString entry = SchemeHandler::desktopEntry("/opt/Kelvane/bin/kelvane");
    EXPECT_TRUE(entry.startsWith("[Desktop Entry]\n"));
    EXPECT_TRUE(entry.contains("\nExec=/opt/Kelvane/bin/kelvane %u\n"));
    EXPECT_TRUE(entry.contains("\nMimeType=x-scheme-handler/kelvane;\n"));
    EXPECT_TRUE(entry.contains("\nType=Application\n"));
    // Spaces and the characters the Exec key reserves are quoted and escaped.
    EXPECT_TRUE(SchemeHandler::desktopEntry("/home/a b/Kelvane/bin/kelvane")
                    .contains("\nExec=\"/home/a b/Kelvane/bin/kelvane\" %u\n"));
    EXPECT_TRUE(SchemeHandler::desktopEntry("/x/$y\"/100%/kelvane")
                    .contains("\nExec=\"/x/\\\\$y\\\\\"/100%%/kelvane\" %u\n"));
}

TEST(SchemeHandler, DefaultHandlerIsSetAndOtherAssociationsKept) {
    EXPECT_EQ(SchemeHandler::withDefaultHandler(""),
              "[Default Applications]\nx-scheme-handler/kelvane=kelvane.desktop\n");
    const QString existing = "[Added Associations]\ntext/plain=gedit.desktop;\n\n"
                             "[Default Applications]\nx-scheme-handler/kelvane=other.desktop\n"
                             "text/html=firefox.desktop\n";
    EXPECT_EQ(SchemeHandler::withDefaultHandler(existing),
              "[Added Associations]\ntext/plain=gedit.desktop;\n\n"
              "[Default Applications]\nx-scheme-handler/kelvane=kelvane.desktop\n"
              "text/html=firefox.desktop\n");
    EXPECT_EQ(SchemeHandler::withDefaultHandler("[Default Applications]\ntext/html=f.desktop\n"),
              "[Default Applications]\nx-scheme-handler/kelvane=kelvane.desktop\n"
              "text/html=f.desktop\n");
}

TEST(SchemeHandler, InstallWritesBothFilesInTheHome) {
    TestHome home;
    ASSERT_TRUE(SchemeHandler::install("/opt/Kelvane/bin/kelvane"));
    EXPECT_EQ(Paths::schemeHandlerEntry(), home.file(".local/share/applications/kelvane.desktop"));
    EXPECT_EQ(read(Paths::schemeHandlerEntry()),
              SchemeHandler::desktopEntry("/opt/Kelvane/bin/kelvane"));
    EXPECT_EQ(read(home.file(".config/mimeapps.list")),
              "[Default Applications]\nx-scheme-handler/kelvane=kelvane.desktop\n");
    ASSERT_TRUE(SchemeHandler::install("/opt/Kelvane/bin/kelvane")) << "a second launch";
    EXPECT_EQ(read(home.file(".config/mimeapps.list")),
              "[Default Applications]\nx-scheme-handler/kelvane=kelvane.desktop\n");
}
