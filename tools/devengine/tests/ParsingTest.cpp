#include "tests/support/TestHome.h"
#include "tools/devengine/CommandLine.h"
#include "tools/devengine/EngineLog.h"
#include "tools/devengine/MetaUrl.h"
#include "tools/devengine/MountCommand.h"
#include "tools/devengine/MountTable.h"
#include "tools/devengine/SyncCommand.h"
#include "tools/devengine/UmountCommand.h"
#include "tools/devengine/Units.h"

#include <gtest/gtest.h>
#include <regex>

namespace {

// The mount line the client builds, with its default tuning.
std::vector<std::string> clientMountLine() {
    return {"-d",
            "--cache-dir",
            "/tmp/cache/fs-1",
            "--cache-size",
            "10240",
            "--attr-cache",
            "5",
            "--buffer-size",
            "8192",
            "--cache-items",
            "50000000",
            "--dir-entry-cache",
            "5",
            "--entry-cache",
            "5",
            "--free-space-ratio",
            "0.05",
            "--get-timeout",
            "30s",
            "--max-fuse-io",
            "1M",
            "--max-readahead",
            "1024",
            "--max-uploads",
            "50",
            "--negative-entry-cache",
            "30",
            "--open-cache",
            "300",
            "--open-cache-limit",
            "100000",
            "--prefetch",
            "64",
            "--put-timeout",
            "60s",
            "--skip-dir-mtime",
            "1s",
            "--upload-delay",
            "0s",
            "--cache-large-write",
            "--fast-statfs",
            "--writeback",
            "-o",
            "local,iosize=1048576,async_read,noatime,nodiratime,daemon_timeout=600,volname=Team",
            "--no-usage-report",
            "file:///srv/filespaces/team",
            "/media/kelvane/Team"};
}

} // namespace

TEST(CommandLineTest, ReadsTheClientsMountLine) {
    const CommandLine line = CommandLine::parse(clientMountLine(), MountCommand::optionTable());
    ASSERT_FALSE(line.error()) << *line.error();
    EXPECT_EQ(line.positionals(),
              (std::vector<std::string>{"file:///srv/filespaces/team", "/media/kelvane/Team"}));
    EXPECT_TRUE(line.flag("background"));
    EXPECT_TRUE(line.flag("writeback"));
    EXPECT_EQ(line.value("cache-dir"), "/tmp/cache/fs-1");
    EXPECT_EQ(line.value("upload-delay"), "0s");
    EXPECT_TRUE(line.ignored().empty());
}

TEST(CommandLineTest, AcceptsEqualsFormsUnknownOptionsAndNegatedFlags) {
    const CommandLine line =
        CommandLine::parse({"--cache-size=512", "--writeback=false", "--future-flag",
                            "--future-value", "7", "--other=x", "META", "MOUNT"},
                           MountCommand::optionTable());
    ASSERT_FALSE(line.error());
    EXPECT_EQ(line.value("cache-size"), "512");
    EXPECT_FALSE(line.flag("writeback"));
    EXPECT_EQ(line.ignored(),
              (std::vector<std::string>{"future-flag", "future-value=7", "other=x"}));
    EXPECT_EQ(line.positionals(), (std::vector<std::string>{"META", "MOUNT"}));

    // An unknown option right before the positionals cannot swallow one of them.
    const CommandLine tail =
        CommandLine::parse({"--mystery", "META", "MOUNT"}, MountCommand::optionTable());
    EXPECT_EQ(tail.positionals(), (std::vector<std::string>{"META", "MOUNT"}));
}

TEST(CommandLineTest, ReportsMissingArgumentsAndValues) {
    EXPECT_TRUE(CommandLine::parse({"META"}, MountCommand::optionTable()).error());
    EXPECT_TRUE(CommandLine::parse({"A", "B", "C"}, MountCommand::optionTable()).error());
    EXPECT_TRUE(CommandLine::parse({"A", "B", "--cache-dir"}, MountCommand::optionTable()).error());
    const CommandLine sync = CommandLine::parse(
        {"-p", "32", "--update", "--metrics", "127.0.0.1:9567", "/src/Photos/", "jfs://T/Photos/"},
        SyncCommand::optionTable());
    ASSERT_FALSE(sync.error());
    EXPECT_EQ(sync.value("threads"), "32");
    EXPECT_TRUE(sync.flag("update"));
}

TEST(UnitsTest, ParsesDurationsSizesAndRates) {
    EXPECT_EQ(Units::parseSeconds("30s"), 30.0);
    EXPECT_EQ(Units::parseSeconds("1m30s"), 90.0);
    EXPECT_EQ(Units::parseSeconds("1h"), 3600.0);
    EXPECT_DOUBLE_EQ(*Units::parseSeconds("250ms"), 0.25);
    EXPECT_EQ(Units::parseSeconds("5"), 5.0);
    EXPECT_FALSE(Units::parseSeconds("soon"));
    EXPECT_FALSE(Units::parseSeconds("5x"));
    EXPECT_EQ(Units::parseMiB("10240"), 10240u);
    EXPECT_EQ(Units::parseMiB("2G"), 2048u);
    EXPECT_FALSE(Units::parseMiB("2Q"));
    EXPECT_EQ(Units::mbpsToBytesPerSecond("8"), 1e6);
    EXPECT_FALSE(Units::mbpsToBytesPerSecond("fast"));
    EXPECT_EQ(Units::humanBytes(1536), "1.5 KiB");
}

TEST(UnitsTest, RefusesValuesBeyondWhatTheClockAndTheCacheCanHold) {
    // Go's longest duration is 2562047h47m16.854775807s; a day more cannot be a delay.
    EXPECT_EQ(Units::parseSeconds("2562047h"), 2562047.0 * 3600);
    EXPECT_FALSE(Units::parseSeconds("2562048h"));
    EXPECT_FALSE(Units::parseSeconds("1e10"));
    EXPECT_FALSE(Units::parseSeconds("1e308h"));
    EXPECT_FALSE(Units::parseSeconds("9000000000s9000000000s"));
    EXPECT_EQ(Units::toNanoseconds(1e300), std::chrono::nanoseconds(9223372036000000000));
    EXPECT_EQ(Units::toNanoseconds(-1), std::chrono::nanoseconds(0));
    EXPECT_EQ(Units::toNanoseconds(0.25), std::chrono::milliseconds(250));

    EXPECT_EQ(Units::parseMiB("1048576G"), Units::kMaxCacheMiB); // 1 PiB
    EXPECT_FALSE(Units::parseMiB("1048577G"));
    EXPECT_FALSE(Units::parseMiB("1e300"));
    EXPECT_FALSE(Units::parseMiB("-1"));
    EXPECT_FALSE(Units::parseMiB("1e300T"));
}

TEST(MetaUrlTest, ServesOnlyFileUrlsOfAbsoluteFolders) {
    const auto meta = MetaUrl::parse("file:///srv/filespaces/team/");
    ASSERT_TRUE(meta);
    EXPECT_EQ(meta->folder(), "/srv/filespaces/team");
    EXPECT_EQ(meta->volumeName(), "team");
    std::string problem;
    EXPECT_FALSE(MetaUrl::parse("redis://127.0.0.1:6379/1", &problem));
    EXPECT_NE(problem.find("redis"), std::string::npos);
    EXPECT_FALSE(MetaUrl::parse("file://relative/path", &problem));
    EXPECT_FALSE(MetaUrl::parse("/no/scheme", &problem));
}

TEST(MountCommandTest, BuildsTheConfigurationOfTheClientsLine) {
    const CommandLine line = CommandLine::parse(clientMountLine(), MountCommand::optionTable());
    std::string problem;
    const auto config = MountCommand::configFrom(line, problem);
    ASSERT_TRUE(config) << problem;
    EXPECT_EQ(config->backingFolder, "/srv/filespaces/team");
    EXPECT_EQ(config->volumeName, "team");
    EXPECT_EQ(config->displayName, "Team");
    EXPECT_EQ(config->mountPoint, "/media/kelvane/Team");
    EXPECT_EQ(config->cacheDir, "/tmp/cache/fs-1");
    EXPECT_EQ(config->cacheSizeMiB, 10240u);
    EXPECT_EQ(config->attrTimeout, 5.0);
    EXPECT_EQ(config->negativeTimeout, 30.0);
    EXPECT_EQ(config->uploadDelaySeconds, 0.0);
    EXPECT_EQ(config->uploadBytesPerSecond, 0.0);
    EXPECT_TRUE(config->background);
    // Only what Linux's libfuse understands reaches it; macFUSE's options are dropped.
    EXPECT_EQ(config->fuseOptions, std::vector<std::string>{"noatime"});
}

TEST(MountCommandTest, RejectsOtherMetaEnginesAndBadValues) {
    std::string problem;
    EXPECT_FALSE(MountCommand::configFrom(
        CommandLine::parse({"redis://host/1", "/mnt/x"}, MountCommand::optionTable()), problem));
    EXPECT_NE(problem.find("redis"), std::string::npos);
    EXPECT_FALSE(MountCommand::configFrom(
        CommandLine::parse({"--upload-limit", "lots", "file:///v", "/mnt/x"},
                           MountCommand::optionTable()),
        problem));
    const auto limited =
        MountCommand::configFrom(CommandLine::parse({"--upload-limit=8", "file:///v", "/mnt/x"},
                                                    MountCommand::optionTable()),
                                 problem);
    ASSERT_TRUE(limited);
    EXPECT_EQ(limited->uploadBytesPerSecond, 1e6);
}

TEST(MountCommandTest, AnEmptyMountPointOrCacheFolderIsRefusedNotThrown) {
    std::string problem;
    std::optional<MountConfig> config;
    EXPECT_NO_THROW(
        config = MountCommand::configFrom(
            CommandLine::parse({"file:///", ""}, MountCommand::optionTable()), problem));
    EXPECT_FALSE(config);
    EXPECT_EQ(problem, "invalid mount point \"\"");
    EXPECT_NO_THROW(config = MountCommand::configFrom(
                        CommandLine::parse({"--cache-dir", "", "file:///v", "/mnt/x"},
                                           MountCommand::optionTable()),
                        problem));
    EXPECT_FALSE(config);
    EXPECT_EQ(problem, "invalid --cache-dir \"\"");
    // The fuzzer's input, 2d66696c653a2f2f2f00, split at its NUL as the harness does.
    EXPECT_NO_THROW(
        config = MountCommand::configFrom(
            CommandLine::parse({"-file:///", ""}, MountCommand::optionTable()), problem));
    EXPECT_FALSE(config);
}

TEST(MountCommandTest, OutOfRangeTuningEndsInTheUsualInvalidLine) {
    const auto problemOf = [](std::vector<std::string> args) {
        args.insert(args.end(), {"file:///v", "/mnt/x"});
        std::string problem;
        EXPECT_FALSE(MountCommand::configFrom(CommandLine::parse(args, MountCommand::optionTable()),
                                              problem));
        return problem;
    };
    EXPECT_EQ(problemOf({"--upload-delay", "1e10"}), "invalid --upload-delay 1e10");
    EXPECT_EQ(problemOf({"--attr-cache", "1e300"}), "invalid --attr-cache 1e300");
    EXPECT_EQ(problemOf({"--cache-size", "1e300"}), "invalid --cache-size 1e300");
    EXPECT_EQ(problemOf({"--cache-size", "-1"}), "invalid --cache-size -1");
    EXPECT_EQ(problemOf({"--upload-limit", "1e-300"}), "invalid --upload-limit 1e-300");
    EXPECT_EQ(problemOf({"--upload-limit", "1e300"}), "invalid --upload-limit 1e300");
    std::string problem;
    const auto unlimited =
        MountCommand::configFrom(CommandLine::parse({"--upload-limit", "0", "--upload-delay",
                                                     "2562047h", "file:///v", "/mnt/x"},
                                                    MountCommand::optionTable()),
                                 problem);
    ASSERT_TRUE(unlimited) << problem;
    EXPECT_EQ(unlimited->uploadBytesPerSecond, 0.0);
}

TEST(MountCommandTest, NamesLinuxCannotHoldAreRefusedUpFront) {
    std::string problem;
    const std::string longName(300, 'n');
    EXPECT_FALSE(
        MountCommand::configFrom(CommandLine::parse({"file:///v", "/media/kelvane/" + longName},
                                                    MountCommand::optionTable()),
                                 problem));
    EXPECT_NE(problem.find("is too long"), std::string::npos) << problem;
    EXPECT_NE(problem.find("300 bytes"), std::string::npos) << problem;
    EXPECT_FALSE(MountCommand::configFrom(
        CommandLine::parse({"-o", "volname=" + longName, "file:///v", "/mnt/x"},
                           MountCommand::optionTable()),
        problem));
    EXPECT_NE(problem.find("volume name"), std::string::npos) << problem;
    std::string deep;
    for (int i = 0; i < 500; ++i) // 4,890 bytes: past PATH_MAX
        deep += "/folder" + std::to_string(i);
    EXPECT_FALSE(
        MountCommand::configFrom(CommandLine::parse({"--cache-dir", deep, "file:///v", "/mnt/x"},
                                                    MountCommand::optionTable()),
                                 problem));
    EXPECT_NE(problem.find("invalid --cache-dir"), std::string::npos) << problem;
    EXPECT_TRUE(
        MountCommand::configFrom(CommandLine::parse({"-o", "volname=" + std::string(255, 'v'),
                                                     "file:///v", "/mnt/" + std::string(255, 'm')},
                                                    MountCommand::optionTable()),
                                 problem))
        << problem;
}

TEST(UmountCommandTest, ReadsThePidAndBacklogOfAnyStatsTextWithoutThrowing) {
    EXPECT_EQ(UmountCommand::daemonPid("juicefs_uptime 1.5\njuicefs_pid 4242\n"), 4242);
    for (const char* odd : {"juicefs_pid abc\n", "juicefs_pid 99999999999999999999999\n",
                            "juicefs_pid -7\n", "juicefs_pid\n", ""})
        EXPECT_FALSE(UmountCommand::daemonPid(odd)) << odd;
    const auto backlog =
        UmountCommand::backlog("juicefs_staging_blocks 3\njuicefs_staging_block_bytes 12000000\n"
                               "juicefs_object_request_data_bytes_PUT 500\n");
    ASSERT_TRUE(backlog);
    EXPECT_EQ(backlog->blocks, 3u);
    EXPECT_EQ(backlog->bytes, 12000000u);
    EXPECT_EQ(backlog->sentBytes, 500u);
    EXPECT_FALSE(UmountCommand::backlog("juicefs_staging_blocks x\n"));
}

TEST(EngineLogTest, WritesJuicefsLinesTheClientCanScan) {
    const auto where = SourceLocation::current();
    const std::string line = EngineLog::formatLine(std::chrono::system_clock::now(), 4242,
                                                   LogLevel::Fatal, "volume missing", where);
    EXPECT_TRUE(std::regex_match(
        line, std::regex(R"(\d{4}/\d{2}/\d{2} \d{2}:\d{2}:\d{2}\.\d{6} juicefs\[4242\] )"
                         R"(<FATAL>: volume missing \[ParsingTest\.cpp:\d+\]\n)")))
        << line;
    const std::string info =
        EngineLog::formatLine(std::chrono::system_clock::now(), 1, LogLevel::Info, "ok", where);
    EXPECT_NE(info.find(" <INFO>: ok ["), std::string::npos);
}

TEST(EngineLogTest, DefaultPathFollowsHome) {
    TestHome home;
    EXPECT_EQ(EngineLog::defaultPath(), home.path().toStdString() + "/.juicefs/juicefs.log");
}

TEST(MountTableTest, DecodesEscapedMountPointsAndFindsTheType) {
    const auto entries = MountTable::parse(
        "36 35 98:0 / /mnt1 rw,noatime master:1 - ext3 /dev/root rw,errors=continue\n"
        "45 27 0:40 / /media/My\\040Team rw,nosuid - fuse.juicefs JuiceFS:team rw,user_id=0\n"
        "broken line\n");
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0].fsType, "ext3");
    EXPECT_EQ(entries[1].mountPoint, "/media/My Team");
    EXPECT_EQ(entries[1].fsType, "fuse.juicefs");
    EXPECT_EQ(entries[1].source, "JuiceFS:team");
}
