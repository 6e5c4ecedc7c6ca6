#include "platform/AtomicFile.h"
#include "shared/FinderSyncConfig.h"
#include "tests/support/TestHome.h"

#include <QDir>
#include <QProcess>
#include <gtest/gtest.h>

namespace {

struct CliRun {
    int exitCode;
    QByteArray out;
    QByteArray err;
};

CliRun kelvane(const QStringList& arguments) {
    QProcess process;
    process.start(KELVANE_APP_PATH, arguments);
    EXPECT_TRUE(process.waitForFinished(30'000));
    return {process.exitCode(), process.readAllStandardOutput(), process.readAllStandardError()};
}

} // namespace

TEST(LinkCommand, PrintsOneLinkPerItemInsideADriveAndFailsWhenNoneResolves) {
    TestHome home;
    const QString base = home.path() + "/Drives";
    ASSERT_TRUE(QDir().mkpath(base + "/Marketing/Plans"));
    ASSERT_TRUE(AtomicFile::write(
        FinderSyncConfig::configFile(),
        QStringLiteral(R"({"apiURL":"https://ws.example.com/api","mountBase":"%1"})")
            .arg(base)
            .toUtf8()));

    CliRun run = kelvane({"link", base + "/Marketing/Plans", "/etc/passwd",
                          base + "/Marketing/Plans/Q3 plan #2.pdf"});
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.out, "https://ws.example.com/files/Plans\n"
                       "https://ws.example.com/view/Plans/Q3%20plan%20%232.pdf\n");
    EXPECT_TRUE(run.err.contains("no link for /etc/passwd")) << run.err.constData();

    run = kelvane({"link", base + "/Marketing", "/etc"});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(kelvane({"link"}).exitCode, 2);
}
