#include "app/mount/JuicefsLog.h"
#include "app/mount/MountManager.h"
#include "platform/Paths.h"
#include "tests/support/TestHome.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <gtest/gtest.h>

namespace {

void writeLog(const QByteArray& text) {
    const QString path = Paths::juicefsLogFile();
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(text);
}

TEST(JuicefsLog, LastMarkedLineWinsOverUnmarkedLinesAfterIt) {
    TestHome home;
    writeLog("2024/05/01 10:00:00.000 juicefs[10] <FATAL>: old failure [main.go:1]\n"
             "2024/05/01 10:00:01.000 juicefs[11] <ERROR>:   bad credentials  \n"
             "2024/05/01 10:00:02.000 juicefs[11] <INFO>: retrying\n"
             "plain trailing text\n");
    EXPECT_EQ(MountManager::lastFatalFromJuicefsLog(), QString("bad credentials"));
}

TEST(JuicefsLog, ReasonTakesTheTextAfterTheFirstMarkerColon) {
    EXPECT_EQ(JuicefsLog::reasonFromLine("x <ERROR>: a <FATAL>: b"), QString("b"));
    EXPECT_EQ(JuicefsLog::reasonFromLine("x <FATAL>: one <FATAL>: two"),
              QString("one <FATAL>: two"));
    // Marked but without the colon form: the whole line as it is.
    EXPECT_EQ(JuicefsLog::reasonFromLine("  <ERROR> no colon  "), QString("  <ERROR> no colon  "));
    EXPECT_EQ(JuicefsLog::reasonFromLine("<WARNING>: not an error"), std::nullopt);
    EXPECT_EQ(JuicefsLog::lastFatal("a\nb\n"), std::nullopt);
}

TEST(JuicefsLog, MissingOrUnmarkedLogYieldsNothing) {
    TestHome home;
    EXPECT_EQ(MountManager::lastFatalFromJuicefsLog(), std::nullopt);
    writeLog("");
    EXPECT_EQ(MountManager::lastFatalFromJuicefsLog(), std::nullopt);
    writeLog("<INFO>: mounted\n<WARNING>: slow\n");
    EXPECT_EQ(MountManager::lastFatalFromJuicefsLog(), std::nullopt);
}

TEST(JuicefsLog, LargeLogIsReadFromTheEndAcrossBlockBoundaries) {
    TestHome home;
    // A marked line that straddles a 64 KiB block boundary, followed by much unmarked text.
    QByteArray text(64 * 1024 - 20, 'a');
    text += "\nstart <ERROR>: disk quota exceeded for volume\n";
    for (int i = 0; i < 5000; ++i)
        text += "2024/05/01 juicefs[12] <INFO>: still going " + QByteArray::number(i) + "\n";
    writeLog(text);
    EXPECT_EQ(MountManager::lastFatalFromJuicefsLog(), QString("disk quota exceeded for volume"));

    // The very first line of a multi-block file is found too.
    writeLog("<FATAL>: first line\n" + QByteArray(200 * 1024, 'b'));
    EXPECT_EQ(MountManager::lastFatalFromJuicefsLog(), QString("first line"));
}

TEST(JuicefsLog, UndecodableBytesDoNotHideTheReason) {
    TestHome home;
    writeLog("file \xff\xfe name\n<ERROR>: cannot open \xff\n");
    const auto reason = MountManager::lastFatalFromJuicefsLog();
    ASSERT_TRUE(reason.has_value());
    EXPECT_TRUE(reason->startsWith("cannot open"));
}

TEST(JuicefsLog, ReasonsLoseTheEngineSourceTagAndComeFromTheRightProcess) {
    TestHome home;
    EXPECT_EQ(JuicefsLog::reasonFromLine("juicefs[7] <FATAL>: cache dir: permission denied "
                                         "[MountDaemon.cpp:210]"),
              QString("cache dir: permission denied"));
    EXPECT_EQ(JuicefsLog::withoutSourceTag("a [b] stays [mount.go:12]"), QString("a [b] stays"));
    // The parent's own output: its marked line, else its last line.
    EXPECT_EQ(JuicefsLog::reasonFromOutput("starting\n<FATAL>: mount point is a file [x.go:3]\n"
                                           "bye\n"),
              QString("mount point is a file"));
    EXPECT_EQ(JuicefsLog::reasonFromOutput("invalid --cache-size\n\n"),
              QString("invalid --cache-size"));
    EXPECT_EQ(JuicefsLog::reasonFromOutput(""), std::nullopt);

    writeLog("2026/12/08 juicefs[100] <FATAL>: Team failed [a.go:1]\n"
             "2026/12/08 juicefs[200] <FATAL>: Marketing failed [a.go:1]\n");
    EXPECT_EQ(JuicefsLog::lastFatalOfProcess(Paths::juicefsLogFile(), 100), QString("Team failed"));
    EXPECT_EQ(JuicefsLog::lastFatalOfProcess(Paths::juicefsLogFile(), 300), std::nullopt);
}

TEST(JuicefsLog, ALogEndingInAHugeUnbrokenLineIsReadOnlyAtItsTail) {
    TestHome home;
    // 64 MB without a line feed after the reason: only the tail is read, and the line cut by
    // the tail's start does not count.
    QByteArray text = "<FATAL>: too far back\n";
    text += QByteArray(64 * 1024 * 1024, 'x');
    writeLog(text);
    EXPECT_EQ(MountManager::lastFatalFromJuicefsLog(), std::nullopt);
    writeLog("<FATAL>: recent\n" + QByteArray(1024 * 1024, 'y'));
    EXPECT_EQ(MountManager::lastFatalFromJuicefsLog(), QString("recent"));
}

} // namespace
