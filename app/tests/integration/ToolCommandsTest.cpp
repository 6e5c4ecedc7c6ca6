#include "app/tests/support/HeadlessKelvane.h"
#include "tests/support/DevServer.h"
#include "tests/support/FileTree.h"
#include "tests/support/TestHome.h"

#include <QDir>
#include <QFile>
#include <gtest/gtest.h>

// `kelvane import` and `kelvane diagnostics` with no instance running.
TEST(ToolCommands, ImportNeedsARunningInstance) {
    TestHome home;
    HeadlessKelvane kelvane(home.path());
    QDir().mkpath(home.file("Photos"));
    const auto run = kelvane.run({"import", home.file("Photos")});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_TRUE(run.err.startsWith("Kelvane is not running.")) << run.err.toStdString();
    EXPECT_EQ(kelvane.run({"import"}).exitCode, 2);
    EXPECT_TRUE(kelvane.run({"--help"}).out.contains("import FOLDER [--filespace NAME]"));
}

TEST(ToolCommands, DiagnosticsWithoutAnInstanceListsFilespacesWithUnknownStates) {
    TestHome home;
    DevServer server;
    HeadlessKelvane kelvane(home.path());
    ASSERT_EQ(
        kelvane.signIn(server.apiURL(), DevServer::kDemoEmail, DevServer::kDemoPassword).exitCode,
        0);
    FileTree::writeBytes(home.file(".juicefs/juicefs.log").toStdString(),
                         "<INFO>: redis://u:leaked-pw@db/1\n");
    const auto run = kelvane.run({"diagnostics"});
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    const QString path = run.out.trimmed();
    EXPECT_TRUE(path.startsWith(home.file("Desktop/Kelvane-diagnostics-"))) << path.toStdString();
    QFile report(path);
    ASSERT_TRUE(report.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(report.readAll());
    EXPECT_TRUE(text.contains("[fs-team] → " + home.path() + "/Kelvane/Team: unknown\n"))
        << text.toStdString();
    EXPECT_TRUE(text.contains(" [fs-marketing] → " + home.path() + "/Kelvane/Marketing: unknown"));
    EXPECT_TRUE(text.contains("\nsigned in:    true\n"));
    EXPECT_TRUE(text.contains("redis://u:****@db/1"));
    EXPECT_FALSE(text.contains("leaked-pw"));

    QDir(home.file("Desktop")).removeRecursively();
    FileTree::writeBytes(home.file("Desktop").toStdString(), "a file where the folder should be");
    const auto refused = kelvane.run({"diagnostics"});
    EXPECT_EQ(refused.exitCode, 1);
    EXPECT_TRUE(refused.err.endsWith("\nCouldn't write the report. Check that Kelvane is allowed "
                                     "to write to your Desktop.\n"))
        << refused.err.toStdString();
}
