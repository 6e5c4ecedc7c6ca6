#include "app/diagnostics/Diagnostics.h"
#include "app/tests/support/HeadlessKelvane.h"
#include "shared/WaitForTask.h"
#include "tests/support/DevServer.h"
#include "tests/support/TestHome.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTimer>
#include <csignal>
#include <gtest/gtest.h>

namespace {

using namespace std::chrono_literals;

// Resumes a stopped engine whatever the test's outcome, so the drive can be unmounted.
struct Stopped {
    explicit Stopped(pid_t p) : pid(p) { ::kill(pid, SIGSTOP); }
    ~Stopped() { ::kill(pid, SIGCONT); }
    pid_t pid;
};

} // namespace

// A drive whose engine stopped answering: `df` on it hangs in the kernel. The report gives up
// on it after its limit, and the event loop keeps running meanwhile.
TEST(DiagnosticsFuse, AToolHungOnADeadDriveCostsOnlyItsSection) {
    if (!QFile::exists("/dev/fuse") || !QFile::exists("/usr/bin/fusermount3"))
        GTEST_SKIP() << "FUSE is not available on this machine (/dev/fuse or fusermount3 missing)";
    TestHome home;
    DevServer server;
    HeadlessKelvane kelvane(home.path());
    ASSERT_EQ(
        kelvane.signIn(server.apiURL(), DevServer::kDemoEmail, DevServer::kDemoPassword).exitCode,
        0);
    kelvane.start();
    ASSERT_TRUE(waitUntil([&] { return kelvane.allDrives("mounted", 2); }, 120s));
    const QString team = home.path() + "/Kelvane/Team";
    pid_t engine = 0;
    for (const pid_t pid : kelvane.processesInHome()) {
        QFile cmdline(QStringLiteral("/proc/%1/cmdline").arg(pid));
        if (cmdline.open(QIODevice::ReadOnly) && cmdline.readAll().contains(team.toUtf8() + '\0'))
            engine = pid;
    }
    ASSERT_GT(engine, 0) << "no engine serves " << team.toStdString();
    Stopped stopped(engine);

    Diagnostics::Sources sources;
    sources.settings.mountPoint = team;
    sources.settings.cacheDir = home.path();
    Diagnostics::Options options = Diagnostics::Options::standard();
    options.toolLimit = 3s;
    int ticks = 0;
    QTimer ticking;
    QObject::connect(&ticking, &QTimer::timeout, [&] { ++ticks; });
    ticking.start(100);
    QElapsedTimer took;
    took.start();
    const QString report = WaitForTask::run(Diagnostics::report(sources, options));
    EXPECT_LT(took.elapsed(), 30'000);
    EXPECT_GE(ticks, 20) << "the event loop stood still while the tool hung";
    EXPECT_TRUE(report.contains("/usr/bin/df did not finish within 3 seconds and was stopped"))
        << report.toStdString();
    EXPECT_TRUE(report.contains("\n===== juicefs log (last 500 lines) =====\n"))
        << "the sections after the hung one are there";
}
