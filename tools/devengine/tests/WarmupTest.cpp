#include "tests/support/TestHome.h"
#include "tools/devengine/tests/EngineProcess.h"
#include "tools/devengine/tests/MountedVolume.h"

#include <QDir>
#include <gtest/gtest.h>

namespace {

class WarmupTest : public testing::Test {
protected:
    void SetUp() override {
        if (const auto reason = MountedVolume::unavailableReason())
            GTEST_SKIP() << "FUSE mounts are not possible here: " << reason->toStdString();
        QDir().mkpath(volume_.backing("albums/summer"));
        writeFile(volume_.backing("albums/summer/a.raw"), QByteArray(3 << 20, 'a'));
        writeFile(volume_.backing("albums/b.raw"), QByteArray(5000, 'b'));
        ASSERT_EQ(volume_.mount().exitCode, 0);
    }

    double missBytes() { return volume_.stats()["juicefs_blockcache_miss_bytes"]; }

    TestHome home_;
    MountedVolume volume_{home_.path()};
};

} // namespace

TEST_F(WarmupTest, ReadsEveryFileThroughTheMountOnce) {
    EXPECT_EQ(missBytes(), 0);
    const EngineRun first =
        EngineProcess::run({"warmup", "--threads", "4", volume_.mounted("albums")});
    EXPECT_EQ(first.exitCode, 0) << first.err.toStdString();
    EXPECT_TRUE(first.out.contains("2 file(s)")) << first.out.toStdString();
    EXPECT_EQ(missBytes(), (3 << 20) + 5000);

    const EngineRun second =
        EngineProcess::run({"warmup", "--threads", "4", volume_.mounted("albums/b.raw")});
    EXPECT_EQ(second.exitCode, 0);
    EXPECT_EQ(missBytes(), (3 << 20) + 5000) << "a warm file was fetched again";
    EXPECT_GT(volume_.stats()["juicefs_blockcache_hit_bytes"], 0);
}

TEST_F(WarmupTest, APathThatIsNotThereFails) {
    const EngineRun run =
        EngineProcess::run({"warmup", "--threads", "2", volume_.mounted("no-such-album")});
    EXPECT_NE(run.exitCode, 0);
    EXPECT_TRUE(run.out.contains("1 failed")) << run.out.toStdString();
}
