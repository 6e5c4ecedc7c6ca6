#include "findersync/FinderSync.h"
#include "findersync/tests/support/FinderDoubles.h"
#include "platform/AtomicFile.h"
#include "platform/findersync/FinderSyncController.h"
#include "tests/support/TestHome.h"

#include <QDir>
#include <QSignalSpy>
#include <gtest/gtest.h>

namespace {

class FinderSyncTest : public ::testing::Test {
protected:
    void config(const QString& json) {
        ASSERT_TRUE(AtomicFile::write(home.file("config.json"), json.toUtf8()));
    }
    QString realHome() const { return home.path() + "/real"; }

    TestHome home;
    FinderSyncController controller;
    RecordingPasteboard pasteboard;
    RecordingWorkspace workspace;
    FinderSync finder{{controller, pasteboard, workspace, home.file("config.json"), realHome()}};
};

TEST_F(FinderSyncTest, CandidatesAreTheBaseThenMountPathsThenListedFoldersWithoutDuplicates) {
    EXPECT_EQ(finder.candidateDirectories(), QStringList{realHome() + "/Kelvane"});

    const QString base = home.path() + "/Drives";
    ASSERT_TRUE(QDir().mkpath(base + "/Marketing") && QDir().mkpath(base + "/.cache"));
    config(QStringLiteral(R"({"mountBase":"%1","mountPaths":["~/Work","/Volumes/Team","%1",
           "%1/Marketing","~/Work"]})")
               .arg(base));
    EXPECT_EQ(finder.candidateDirectories(),
              (QStringList{base, realHome() + "/Work", "/Volumes/Team", base + "/Marketing"}));
}

TEST_F(FinderSyncTest, AnUnchangedSetIsRegisteredOnceAndANewFolderAddsOneRegistration) {
    const QString base = home.path() + "/Drives";
    config(QStringLiteral(R"({"mountBase":"%1"})").arg(base));
    QSignalSpy lines(&finder, &FinderSync::watching);
    QSignalSpy registrations(&controller, &FinderSyncController::directoryURLsChanged);

    finder.refreshWatchedDirectories();
    finder.refreshWatchedDirectories();
    ASSERT_EQ(lines.size(), 1);
    EXPECT_EQ(lines.at(0).at(0).toString(), "watching " + base);
    EXPECT_EQ(registrations.size(), 1);
    // Not there yet: recorded with device number 0.
    EXPECT_EQ(finder.watched().value(base), 0);

    // The base appears (its device number changes from 0), then a filespace folder in it.
    ASSERT_TRUE(QDir().mkpath(base));
    finder.refreshWatchedDirectories();
    EXPECT_EQ(lines.size(), 2);
    EXPECT_NE(finder.watched().value(base), 0);
    ASSERT_TRUE(QDir().mkpath(base + "/Sales"));
    finder.refreshWatchedDirectories();
    finder.refreshWatchedDirectories();
    ASSERT_EQ(lines.size(), 3);
    EXPECT_EQ(lines.at(2).at(0).toString(), "watching " + base + ", " + base + "/Sales");
    EXPECT_EQ(controller.directoryURLs(), (QSet<QString>{base, base + "/Sales"}));
    EXPECT_EQ(registrations.size(), 3);
}

TEST_F(FinderSyncTest, MenuNeedsASelectionAndActionsNeedResolvableItems) {
    const QString base = home.path() + "/Drives";
    ASSERT_TRUE(QDir().mkpath(base + "/Marketing/Plans"));
    config(QStringLiteral(R"({"apiURL":"https://h/api","mountBase":"%1"})").arg(base));
    EXPECT_FALSE(finder.menu(FinderMenu::Kind::contextualMenuForItems));

    controller.setSelectedItemURLs({QFile::encodeName(base + "/Marketing")});
    ASSERT_TRUE(finder.menu(FinderMenu::Kind::contextualMenuForContainer));
    EXPECT_FALSE(finder.copyLink());
    EXPECT_FALSE(finder.openOnWeb());
    EXPECT_TRUE(pasteboard.strings.isEmpty());
    EXPECT_TRUE(workspace.opened.isEmpty());

    // Raw bytes that are not UTF-8 survive into the link.
    const QByteArray odd = QFile::encodeName(base + "/Marketing/Plans") + "/\xFFx";
    controller.setSelectedItemURLs({odd, QFile::encodeName(base + "/Marketing/Plans")});
    EXPECT_EQ(finder.volumeRelativePath(odd), QByteArray("Plans/\xFFx"));
    EXPECT_TRUE(finder.copyLink());
    EXPECT_EQ(pasteboard.strings, QStringList{"https://h/view/Plans/%FFx\nhttps://h/files/Plans"});
    EXPECT_TRUE(finder.openOnWeb());
    EXPECT_EQ(workspace.opened, QStringList{"https://h/view/Plans/%FFx"});
}

} // namespace
