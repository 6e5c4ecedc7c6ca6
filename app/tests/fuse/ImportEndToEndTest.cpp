#include "app/tests/support/HeadlessKelvane.h"
#include "app/tests/support/PtyProcess.h"
#include "tests/support/DevServer.h"
#include "tests/support/FileTree.h"
#include "tests/support/TestHome.h"

#include <QFile>
#include <QJsonArray>
#include <gtest/gtest.h>

namespace {

using namespace std::chrono_literals;

bool fuseAvailable() {
    return QFile::exists("/dev/fuse") && QFile::exists("/usr/bin/fusermount3");
}

// Paces every sync the instance starts, so a test can watch one or interrupt it.
class SlowSyncs {
public:
    explicit SlowSyncs(const char* mbps) { qputenv("DEVENGINE_SYNC_BWLIMIT", mbps); }
    ~SlowSyncs() { qunsetenv("DEVENGINE_SYNC_BWLIMIT"); }
};

// A signed-in headless instance with both demo drives mounted.
class ImportEndToEnd : public testing::Test {
protected:
    void SetUp() override {
        if (!fuseAvailable())
            GTEST_SKIP() << "FUSE is not available on this machine (/dev/fuse or fusermount3 "
                            "missing)";
        ASSERT_TRUE(kelvane.signIn(server.apiURL(), DevServer::kDemoEmail, DevServer::kDemoPassword)
                        .out.startsWith("Signed in as"));
    }
    void startMounted() {
        kelvane.start();
        ASSERT_TRUE(waitUntil([&] { return kelvane.allDrives("mounted", 2); }, 120s))
            << kelvane.output().toStdString();
    }
    QJsonObject importStatus() { return kelvane.status().value("import").toObject(); }
    bool syncRunning() const {
        for (const pid_t pid : kelvane.processesInHome()) {
            QFile cmdline(QStringLiteral("/proc/%1/cmdline").arg(pid));
            if (cmdline.open(QIODevice::ReadOnly) &&
                cmdline.readAll().startsWith(QFile::encodeName(engine()) + '\0' + "sync"))
                return true;
        }
        return false;
    }
    QString engine() const { return home.file(".kelvane/bin/juicefs"); }

    TestHome home;
    DevServer server;
    HeadlessKelvane kelvane{home.path()};
};

} // namespace

TEST_F(ImportEndToEnd, ImportsTwoThousandOddFilesIntoTeamAndNothingNewTheSecondTime) {
    startMounted();
    const QString source = home.file("Import from here/Photos 2024 #1");
    FileTree::writeOddTree(source.toStdString(), 2000);
    const FileTree::Tree before = FileTree::read(source.toStdString());

    const auto first = kelvane.run({"import", source, "--filespace", "Team"}, {}, 300'000);
    ASSERT_EQ(first.exitCode, 0) << first.out.toStdString() << first.err.toStdString();
    EXPECT_TRUE(first.out.startsWith("Importing " + source + " into Team (Ctrl-C cancels)\n"));
    EXPECT_TRUE(
        first.out.contains(QRegularExpression("\nImport complete: 2000 files · \\d+ MB · ")))
        << first.out.toStdString();
    EXPECT_FALSE(first.out.contains('\r')) << "not a terminal: plain lines only";

    const FileTree::Tree landed =
        FileTree::read((server.filespaceDir("Team") + "/Photos 2024 #1").toStdString());
    EXPECT_EQ(landed.size(), 2000u);
    const auto differing = FileTree::differences(before, landed);
    EXPECT_TRUE(differing.empty())
        << differing.size() << " differ, e.g. " << (differing.empty() ? "" : differing.front());
    const QJsonObject status = importStatus();
    EXPECT_EQ(status.value("state").toString(), "finished");
    EXPECT_EQ(status.value("copied").toInteger(), 2000);
    EXPECT_EQ(status.value("filespace").toString(), "Team");

    const auto second = kelvane.run({"import", source}, {}, 300'000);
    EXPECT_EQ(second.exitCode, 0) << second.err.toStdString();
    EXPECT_TRUE(second.out.contains("\nImport complete: 0 files · ")) << second.out.toStdString();
    const FileTree::Tree after = FileTree::read(source.toStdString());
    EXPECT_TRUE(FileTree::differences(before, after).empty()) << "the source changed";
    for (const auto& [path, entry] : before)
        ASSERT_EQ(after.at(path).mtime, entry.mtime) << path;
    EXPECT_TRUE(kelvane.run({"status"})
                    .out.contains("Import of " + source + " into Team: Import complete: 0 files"));

    // The running instance writes the report, with every drive's state.
    const auto diagnostics = kelvane.run({"diagnostics"}, {}, 180'000);
    ASSERT_EQ(diagnostics.exitCode, 0) << diagnostics.err.toStdString();
    QFile report(diagnostics.out.trimmed());
    ASSERT_TRUE(report.open(QIODevice::ReadOnly)) << diagnostics.out.toStdString();
    const QString text = QString::fromUtf8(report.readAll());
    EXPECT_TRUE(text.contains("[fs-team] → " + home.path() + "/Kelvane/Team: mounted\n"));
    EXPECT_TRUE(text.contains(" [fs-marketing] → " + home.path() + "/Kelvane/Marketing: mounted"));
    EXPECT_TRUE(
        text.contains("JuiceFS:Team on " + home.path() + "/Kelvane/Team type fuse.juicefs"));
    // The stored token (in the owner-only file store, with no keyring here) is not in it.
    QFile credentials(home.file(".local/share/kelvane/credentials.json"));
    ASSERT_TRUE(credentials.open(QIODevice::ReadOnly));
    const QString stored = QString::fromUtf8(credentials.readAll());
    for (const QString& value : stored.split('"')) {
        if (value.size() >= 16 && !value.startsWith("com.30814qv")) {
            EXPECT_FALSE(text.contains(value)) << "a stored secret is in the report";
        }
    }
}

TEST_F(ImportEndToEnd, ShowsProgressInATerminalAndExitsWithTheOutcome) {
    SlowSyncs slow("16"); // 2 MB a second
    startMounted();
    const QString small = home.file("Small");
    FileTree::writeBytes((small + "/clip.mov").toStdString(), std::string(5 << 20, 'm'));

    PtyProcess watched(KELVANE_APP_PATH, {"import", small}, kelvane.environment());
    ASSERT_TRUE(watched.started());
    ASSERT_TRUE(watched.waitForOutput("] ", 60s)) << watched.output().toStdString();
    // While it runs, a second import is refused and says so.
    QDir().mkpath(home.file("Other"));
    const auto busy = kelvane.run({"import", home.file("Other")});
    EXPECT_EQ(busy.exitCode, 1);
    EXPECT_TRUE(busy.err.startsWith("An import is already running: " + small +
                                    " is being copied into Team"))
        << busy.err.toStdString();
    ASSERT_TRUE(watched.waitForExit(120s));
    const QByteArray shown = watched.output();
    EXPECT_EQ(watched.exitCode(), 0) << shown.toStdString();
    EXPECT_TRUE(shown.contains("\r[")) << "the bar is redrawn in place";
    EXPECT_TRUE(shown.contains("\x1b[K"));
    EXPECT_TRUE(shown.contains(" of 1")) << shown.toStdString();
    EXPECT_TRUE(shown.contains("\r\x1b[KImport complete: 1 files · 5 MB · "))
        << shown.toStdString();

    // Ctrl-C cancels the import and the engine with it.
    const QString big = home.file("Big");
    FileTree::writeBytes((big + "/disk.img").toStdString(), std::string(40 << 20, 'd'));
    PtyProcess cancelled(KELVANE_APP_PATH, {"import", big, "--filespace", "Marketing"},
                         kelvane.environment());
    ASSERT_TRUE(cancelled.waitForOutput("] ", 60s)) << cancelled.output().toStdString();
    ASSERT_TRUE(syncRunning());
    cancelled.type("\x03");
    ASSERT_TRUE(cancelled.waitForExit(30s));
    EXPECT_EQ(cancelled.exitCode(), 130) << cancelled.output().toStdString();
    EXPECT_TRUE(cancelled.output().contains("Import cancelled\r\n"))
        << cancelled.output().toStdString();
    EXPECT_EQ(importStatus().value("state").toString(), "cancelled");
    EXPECT_TRUE(waitUntil([&] { return !syncRunning(); }, 15s)) << "the engine kept copying";

    // A failed import ends with its reason and exit status 1.
    FileTree::writeBytes(home.file("notes.txt").toStdString(), "notes");
    PtyProcess failing(KELVANE_APP_PATH, {"import", home.file("notes.txt")}, kelvane.environment());
    ASSERT_TRUE(failing.waitForExit(60s));
    EXPECT_EQ(failing.exitCode(), 1);
    EXPECT_TRUE(failing.output().contains("Import failed: " + home.file("notes.txt").toUtf8() +
                                          " is a file, not a folder."))
        << failing.output().toStdString();
}
