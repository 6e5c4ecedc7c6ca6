#include "tests/support/TestHome.h"
#include "tools/devengine/MountTable.h"
#include "tools/devengine/tests/EngineProcess.h"
#include "tools/devengine/tests/MountedVolume.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/statvfs.h>

namespace {

class MountTest : public testing::Test {
protected:
    void SetUp() override {
        if (const auto reason = MountedVolume::unavailableReason())
            GTEST_SKIP() << "FUSE mounts are not possible here: " << reason->toStdString();
    }

    QString logPath() const { return home_.file(QStringLiteral(".juicefs/juicefs.log")); }
    QByteArray log() const { return readFile(logPath()); }

    TestHome home_;
    MountedVolume volume_{home_.path()};
};

} // namespace

TEST_F(MountTest, AttachesAsFuseJuicefsAndDetachesOnUmount) {
    const EngineRun mounted = volume_.mount();
    ASSERT_TRUE(mounted.finished);
    ASSERT_EQ(mounted.exitCode, 0) << mounted.err.toStdString();
    // The engine may exit only once the mount is attached: no waiting needed here.
    const auto entry = MountTable::find(QDir(volume_.mounted()).canonicalPath().toStdString());
    ASSERT_TRUE(entry);
    EXPECT_EQ(entry->fsType, "fuse.juicefs");
    EXPECT_EQ(entry->source, "JuiceFS:vol");
    EXPECT_TRUE(log().contains("<INFO>: OK, vol is ready at "));
    EXPECT_TRUE(volume_.daemonPid());

    const EngineRun unmounted = volume_.unmount();
    EXPECT_EQ(unmounted.exitCode, 0) << unmounted.err.toStdString();
    EXPECT_FALSE(volume_.isMounted());
    EXPECT_FALSE(volume_.daemonPid()) << "the daemon did not end with the mount";
}

TEST_F(MountTest, FileOperationsReachTheBackingFolder) {
    ASSERT_TRUE(writeFile(volume_.backing("before.txt"), "from the server"));
    ASSERT_EQ(volume_.mount().exitCode, 0);
    EXPECT_EQ(readFile(volume_.mounted("before.txt")), "from the server");

    ASSERT_TRUE(QDir(volume_.mounted()).mkpath("docs/old"));
    ASSERT_TRUE(writeFile(volume_.mounted("docs/draft.txt"), "first draft"));
    ASSERT_TRUE(
        QFile::rename(volume_.mounted("docs/draft.txt"), volume_.mounted("docs/final.txt")));
    ASSERT_TRUE(writeFile(volume_.mounted("scratch.txt"), "temporary"));
    ASSERT_TRUE(QFile::remove(volume_.mounted("scratch.txt")));
    ASSERT_TRUE(QDir(volume_.mounted("docs")).rmdir("old"));
    ASSERT_TRUE(QFile::resize(volume_.mounted("before.txt"), 4));
    ASSERT_EQ(::chmod(volume_.mounted("docs/final.txt").toLocal8Bit().constData(), 0600), 0);
    const timespec times[2] = {{1000, 0}, {1700000000, 0}};
    ASSERT_EQ(
        ::utimensat(AT_FDCWD, volume_.mounted("before.txt").toLocal8Bit().constData(), times, 0),
        0);
    struct statvfs fs {};
    EXPECT_EQ(::statvfs(volume_.mounted().toLocal8Bit().constData(), &fs), 0);

    EXPECT_EQ(QDir(volume_.mounted("docs")).entryList(QDir::Files), QStringList{"final.txt"});
    EXPECT_EQ(readFile(volume_.mounted("docs/final.txt")), "first draft");
    EXPECT_EQ(readFile(volume_.mounted("before.txt")), "from");
    EXPECT_EQ(QFileInfo(volume_.mounted("before.txt")).lastModified().toSecsSinceEpoch(),
              1700000000);

    ASSERT_EQ(volume_.unmount().exitCode, 0);
    EXPECT_EQ(readFile(volume_.backing("docs/final.txt")), "first draft");
    EXPECT_FALSE(QFile::exists(volume_.backing("docs/draft.txt")));
    EXPECT_FALSE(QFile::exists(volume_.backing("scratch.txt")));
    EXPECT_FALSE(QFile::exists(volume_.backing("docs/old")));
    EXPECT_EQ(readFile(volume_.backing("before.txt")), "from");
    EXPECT_EQ(QFileInfo(volume_.backing("before.txt")).lastModified().toSecsSinceEpoch(),
              1700000000);
    struct stat st {};
    ASSERT_EQ(::stat(volume_.backing("docs/final.txt").toLocal8Bit().constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0600u);
}

TEST_F(MountTest, StatsIsAReadOnlyFileOfNameValueLines) {
    ASSERT_EQ(volume_.mount().exitCode, 0);
    QFile stats(volume_.mounted(QStringLiteral(".stats")));
    ASSERT_TRUE(stats.open(QIODevice::ReadOnly));
    const auto values = parseStats(stats.readAll());
    for (const char* name :
         {"juicefs_object_request_uploading", "juicefs_staging_blocks",
          "juicefs_staging_writing_blocks", "juicefs_staging_block_bytes",
          "juicefs_object_request_data_bytes_PUT", "juicefs_blockcache_miss_bytes"}) {
        ASSERT_TRUE(values.count(name)) << name;
        EXPECT_EQ(values.at(name), 0) << name;
    }
    QFile writable(volume_.mounted(QStringLiteral(".stats")));
    EXPECT_FALSE(writable.open(QIODevice::WriteOnly));
    EXPECT_FALSE(QFile::remove(volume_.mounted(QStringLiteral(".stats"))));
    EXPECT_FALSE(QDir(volume_.mounted())
                     .entryList(QDir::AllEntries | QDir::Hidden)
                     .contains(QStringLiteral(".stats")));
}

TEST_F(MountTest, AMetaUrlItCannotServeEndsWithAFatalLogLine) {
    EngineRun run =
        EngineProcess::run({"mount", "-d", "redis://localhost:6379/1", volume_.mounted()});
    EXPECT_NE(run.exitCode, 0);
    EXPECT_TRUE(EngineProcess::lastFailure(logPath()).contains("redis")) << log().toStdString();
    EXPECT_TRUE(log().contains("<FATAL>: "));

    run = EngineProcess::run({"mount", "-d", "file://" + home_.file("missing"), volume_.mounted()});
    EXPECT_NE(run.exitCode, 0);
    EXPECT_TRUE(EngineProcess::lastFailure(logPath()).contains(home_.file("missing")));
    EXPECT_FALSE(volume_.isMounted());
}

// What the parent `mount -d` can know before it starts the daemon ends it at once, with the
// reason on its own output and as a FATAL line of its own process id in the log.
TEST_F(MountTest, AMountThatCannotWorkFailsAtOnceWithItsReason) {
    ASSERT_TRUE(writeFile(home_.file("afile"), "in the way"));
    const QString meta = volume_.metaUrl();
    const QString mnt = volume_.mounted();
    const QString cache = volume_.cacheDir();
    const std::vector<std::pair<QStringList, QString>> cases = {
        {{"--cache-dir", home_.file("afile/cache"), meta, mnt}, "cannot use the cache folder "},
        {{"--cache-dir", cache, meta, home_.file("afile")}, " is not a folder"},
        {{"--cache-dir", cache, "--cache-size", "-1", meta, mnt}, "invalid --cache-size -1"},
        {{"--cache-dir", cache, "--cache-size", "1e300", meta, mnt}, "invalid --cache-size 1e300"},
        {{"--cache-dir", cache, "--upload-delay", "1e10", meta, mnt},
         "invalid --upload-delay 1e10"},
        {{"--cache-dir", cache, meta, home_.file(QString(300, 'n'))}, " is too long: "},
        {{"--cache-dir", cache, "-o", "volname=" + QString(300, 'v'), meta, mnt}, "volume name "},
        {{"--cache-dir", cache, "file://" + home_.file("missing"), mnt}, " does not exist"},
        {{"--cache-dir", cache, meta, ""}, "invalid mount point \"\""},
        {{"--cache-dir", "", meta, mnt}, "invalid --cache-dir \"\""},
    };
    for (const auto& [options, reason] : cases) {
        const EngineRun run = EngineProcess::run(QStringList{"mount", "-d"} + options,
                                                 QProcessEnvironment::systemEnvironment(), 10000);
        SCOPED_TRACE(reason.toStdString());
        ASSERT_TRUE(run.finished) << "it waited instead of failing";
        EXPECT_EQ(run.exitCode, 1);
        const QByteArray line = run.err.trimmed();
        EXPECT_TRUE(line.contains("<FATAL>: ") && line.contains(reason.toUtf8()))
            << line.toStdString();
        EXPECT_TRUE(log().contains(line)) << "the log has the same line, with the same pid";
        EXPECT_FALSE(volume_.isMounted());
    }
}

TEST_F(MountTest, ASecondEngineForTheSameVolumeAndCacheFolderIsRefused) {
    ASSERT_EQ(volume_.mount().exitCode, 0);
    ASSERT_TRUE(volume_.daemonPid());
    ASSERT_TRUE(QDir().mkpath(home_.file("second")));
    const EngineRun run = EngineProcess::run(
        {"mount", "-d", "--cache-dir", volume_.cacheDir(), volume_.metaUrl(), home_.file("second")},
        QProcessEnvironment::systemEnvironment(), 10000);
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_TRUE(run.err.contains("is in use by another engine serving vol (pid " +
                                 QByteArray::number(*volume_.daemonPid()) + ")"))
        << run.err.toStdString();
    EXPECT_TRUE(volume_.isMounted());
}

TEST_F(MountTest, UmountOfSomethingNotMountedFails) {
    const EngineRun run = EngineProcess::run({"umount", volume_.mounted()});
    EXPECT_TRUE(run.finished);
    EXPECT_NE(run.exitCode, 0);
    EXPECT_TRUE(run.err.contains("not mounted")) << run.err.toStdString();
}

TEST_F(MountTest, VersionNamesThePinnedReleaseAsTheRealClientsFirstLineDoes) {
    for (const char* spelling : {"version", "--version", "-V"}) {
        const EngineRun run = EngineProcess::run({spelling});
        EXPECT_EQ(run.exitCode, 0);
        // "juicefs version 1.3.1+BUILD": one line, the version one word.
        EXPECT_TRUE(QRegularExpression(QStringLiteral("^juicefs version 1\\.3\\.1\\+\\S+\n$"))
                        .match(QString::fromUtf8(run.out))
                        .hasMatch())
            << run.out.toStdString();
    }
}
