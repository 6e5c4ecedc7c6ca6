#include "app/update/SwapScript.h"
#include "shared/package/BundleVersion.h"
#include "shared/package/FileTree.h"
#include "tests/support/WaitUntil.h"

#include "tests/support/QtPrinters.h"
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace std::chrono_literals;

namespace {

// The script run by bash over folders of its own: a current bundle, a read-only unpacked new
// one, a package file, and a kelvane that only notes how it was started.
class SwapScriptRunTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir_.isValid());
        makeBundle(current(), "1", "old");
        makeBundle(unpacked() + "/Kelvane", "2", "new");
        ASSERT_TRUE(FileTree::setWritable(unpacked(), false));
        QFile package(path("Kelvane-update-1.tar.gz"));
        ASSERT_TRUE(package.open(QIODevice::WriteOnly));
    }
    void TearDown() override { FileTree::setWritable(dir_.path(), true); }
    QString path(const QString& name) const { return dir_.filePath(name); }
    QString current() const { return path("My Apps/Kelvane"); }
    QString unpacked() const { return path("KelvaneUpdate-1"); }
    QString marker() const { return path("started.txt"); }

    void makeBundle(const QString& bundle, const QString& build, const QString& tag) {
        QDir().mkpath(bundle + "/bin");
        ASSERT_TRUE((BundleVersion{"0.1.0", build}.write(bundle)));
        QFile program(bundle + "/bin/kelvane");
        ASSERT_TRUE(program.open(QIODevice::WriteOnly));
        program.write("#!/bin/sh\necho \"" + tag.toUtf8() + " $*\" > \"" +
                      QFile::encodeName(marker()) + "\"\n");
        program.close();
        program.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                               QFileDevice::ExeOwner);
    }
    SwapScript script(qint64 pid) const {
        return {pid,
                current(),
                unpacked() + "/Kelvane",
                unpacked(),
                path("Kelvane-update-1.tar.gz"),
                {"--headless", "--flag with blank"}};
    }
    // Writes the script and starts bash on it; the process ends when the script does.
    std::unique_ptr<QProcess> start(const SwapScript& s) {
        QFile file(path("kelvane-update.sh"));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(s.text().toUtf8());
        file.close();
        auto bash = std::make_unique<QProcess>();
        bash->setProcessChannelMode(QProcess::MergedChannels);
        bash->start("/bin/bash", {file.fileName()});
        EXPECT_TRUE(bash->waitForStarted());
        return bash;
    }
    static qint64 goneProcess() {
        QProcess p;
        p.start("/bin/true");
        p.waitForFinished();
        return p.processId() > 0 ? p.processId() : 999999;
    }

    QTemporaryDir dir_;
};

} // namespace

TEST_F(SwapScriptRunTest, SwapsTheBundleCleansUpAndStartsTheNewOne) {
    QProcess old;
    old.start("/bin/sleep", {"30"});
    ASSERT_TRUE(old.waitForStarted());
    auto bash = start(script(old.processId()));
    // While the old process lives, nothing is touched.
    EXPECT_FALSE(waitUntil([&] { return BundleVersion::read(current()).build == "2"; }, 700ms));
    old.kill();
    ASSERT_TRUE(waitUntil([&] { return bash->state() == QProcess::NotRunning; }, 20s));
    EXPECT_EQ(bash->exitCode(), 0) << bash->readAll().toStdString();

    EXPECT_EQ(BundleVersion::read(current()).build, "2");
    EXPECT_TRUE(QFileInfo(current() + "/bin").isWritable());
    EXPECT_TRUE(QFileInfo(current() + "/Info.json").isWritable());
    EXPECT_FALSE(QFileInfo::exists(path("My Apps/.Kelvane-update")));
    EXPECT_FALSE(QFileInfo::exists(unpacked()));
    EXPECT_FALSE(QFileInfo::exists(path("Kelvane-update-1.tar.gz")));
    EXPECT_FALSE(QFileInfo::exists(path("kelvane-update.sh")));
    ASSERT_TRUE(waitUntil([&] { return QFileInfo(marker()).size() > 0; }, 10s));
    QFile started(marker());
    ASSERT_TRUE(started.open(QIODevice::ReadOnly));
    EXPECT_EQ(started.readAll(), "new --headless --flag with blank\n");
}

TEST_F(SwapScriptRunTest, ACopyThatFailsLeavesTheCurrentBundleAlone) {
    SwapScript s = script(goneProcess());
    s.newBundle = unpacked() + "/Missing";
    auto bash = start(s);
    ASSERT_TRUE(waitUntil([&] { return bash->state() == QProcess::NotRunning; }, 20s));
    EXPECT_EQ(bash->exitCode(), 1);
    EXPECT_EQ(BundleVersion::read(current()).build, "1");
    EXPECT_TRUE(QFileInfo::exists(current() + "/bin/kelvane"));
    EXPECT_FALSE(QFileInfo::exists(marker()));
}
