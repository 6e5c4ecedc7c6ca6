#include "app/mount/MountTuning.h"
#include "app/mount/MountCommand.h"
#include "app/mount/MountError.h"
#include "app/mount/MountManager.h"
#include "app/tests/mountsupport/LogCapture.h"

#include <gtest/gtest.h>

namespace {

const QStringList kDefaultLine =
    QStringLiteral("--attr-cache 5 --buffer-size 8192 --cache-items 50000000 --dir-entry-cache 5 "
                   "--entry-cache 5 --free-space-ratio 0.05 --get-timeout 30s --max-fuse-io 1M "
                   "--max-readahead 1024 --max-uploads 50 --negative-entry-cache 30 "
                   "--open-cache 300 --open-cache-limit 100000 --prefetch 64 --put-timeout 60s "
                   "--skip-dir-mtime 1s --upload-delay 0s")
        .split(QLatin1Char(' '));

QStringList tuningLine(const QMap<QString, QString>& overrides) {
    return MountTuning::arguments(MountManager::resolvedTuning(overrides));
}

TEST(MountTuning, DefaultLineIsExactlyThe34Arguments) {
    ASSERT_EQ(kDefaultLine.size(), 34);
    EXPECT_EQ(tuningLine({}), kDefaultLine);
    EXPECT_EQ(MountManager::tuningDefaults().size(), 17);
}

TEST(MountTuning, ServerOverrideIsTrimmedStrippedOfDashesAndLoggedOnce) {
    LogCapture log;
    const auto merged = MountManager::resolvedTuning({{"--prefetch", " 16 "}});
    EXPECT_EQ(merged.value("prefetch"), "16");
    EXPECT_EQ(merged.size(), 17);
    EXPECT_EQ(log.lines(), QStringList{"server override prefetch=16"});
}

TEST(MountTuning, OverrideEqualToTheDefaultChangesNothingAndLogsNothing) {
    LogCapture log;
    EXPECT_EQ(tuningLine({{"max-uploads", "50"}}), kDefaultLine);
    EXPECT_TRUE(log.lines().isEmpty());
}

TEST(MountTuning, FixedAndMisspelledOptionsNeverReachTheLine) {
    LogCapture log;
    const QStringList line =
        tuningLine({{"cache-size", "1"}, {"writeback", "false"}, {"-prefetch", "8"}});
    EXPECT_EQ(line, kDefaultLine);
    EXPECT_EQ(log.count("ignoring unknown server mount option cache-size"), 1);
    EXPECT_EQ(log.count("ignoring unknown server mount option writeback"), 1);
    EXPECT_EQ(log.count("ignoring unknown server mount option -prefetch"), 1);
}

TEST(MountTuning, BlankValueIsDroppedAndTheDefaultStays) {
    LogCapture log;
    const auto merged = MountManager::resolvedTuning({{"get-timeout", " \t\n "}});
    EXPECT_EQ(merged.value("get-timeout"), "30s");
    EXPECT_EQ(log.count("ignoring empty server mount option get-timeout"), 1);
}

TEST(MountTuning, DashedAndPlainNamesOfOneOptionResolveInMapOrder) {
    // "--prefetch" sorts before "prefetch", so the plain name is visited last and wins.
    const auto merged = MountManager::resolvedTuning({{"--prefetch", "8"}, {"prefetch", "32"}});
    EXPECT_EQ(merged.value("prefetch"), "32");
}

TEST(MountTuning, OverridesKeepTheLineSortedAndTwoArgumentsPerOption) {
    const QStringList line = tuningLine({{"upload-delay", "2s"}, {"attr-cache", "1"}});
    ASSERT_EQ(line.size(), 34);
    EXPECT_EQ(line.mid(0, 2), (QStringList{"--attr-cache", "1"}));
    EXPECT_EQ(line.mid(32, 2), (QStringList{"--upload-delay", "2s"}));
}

Filespace demoFilespace() {
    return {"fs-1", "Team Drive", "file:///srv/meta/team", "team", "Team"};
}

TEST(MountCommandLine, MountArgumentsAreTheFixedFrameAroundTheTuning) {
    const QStringList args = MountCommand::mountArguments(
        {demoFilespace(), "/home/u/Kelvane/Team", "/home/u/.cache/kelvane/fs-1", 2048, {}});
    QStringList expected{"mount",        "-d",  "--cache-dir", "/home/u/.cache/kelvane/fs-1",
                         "--cache-size", "2048"};
    expected << kDefaultLine;
    expected << "--cache-large-write"
             << "--fast-statfs"
             << "--writeback"
             << "-o"
             << "local,iosize=1048576,async_read,noatime,nodiratime,daemon_timeout=600,"
                "volname=Team Drive"
             << "--no-usage-report"
             << "file:///srv/meta/team"
             << "/home/u/Kelvane/Team";
    EXPECT_EQ(args, expected);
}

TEST(MountCommandLine, ServerTextCannotSmuggleOptionsIntoTheEngine) {
    Filespace filespace = demoFilespace();
    filespace.name = "Sales,allow_other";
    const QStringList args = MountCommand::mountArguments({filespace, "/m/Team", "/c/fs-1", 1, {}});
    EXPECT_TRUE(args.contains("local,iosize=1048576,async_read,noatime,nodiratime,"
                              "daemon_timeout=600,volname=Salesallow_other"));

    filespace.metadataPublicURL = "--log=/tmp/elsewhere";
    try {
        MountCommand::mountArguments({filespace, "/m/Team", "/c/fs-1", 1, {}});
        FAIL() << "an option-like metadata URL was accepted";
    } catch (const MountError& e) {
        EXPECT_EQ(e.kind(), MountError::Kind::unsafeServerValue);
    }
}

TEST(MountCommandLine, UnmountAndWarmupLines) {
    EXPECT_EQ(MountCommand::unmountArguments("/m/Team"), (QStringList{"umount", "/m/Team"}));
    EXPECT_EQ(MountCommand::warmupArguments({"/m/Team/a", "/m/Team/b"}, 32),
              (QStringList{"warmup", "--threads", "32", "/m/Team/a", "/m/Team/b"}));
}

} // namespace
