#include "findersync/tests/support/HostProcess.h"
#include "platform/AtomicFile.h"
#include "shared/FinderSyncConfig.h"
#include "tests/support/TestHome.h"

#include <QDir>
#include <QFile>
#include <csignal>
#include <functional>
#include <gtest/gtest.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

using namespace std::chrono_literals;

// This process's children (orphans included: the test is their subreaper), by command name.
QList<pid_t> childrenNamed(const QByteArray& name) {
    QList<pid_t> found;
    const QByteArray self = QByteArray::number(::getpid());
    for (const QString& entry : QDir("/proc").entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile stat("/proc/" + entry + "/stat");
        if (!stat.open(QIODevice::ReadOnly))
            continue;
        const QByteArray line = stat.readAll();
        const qsizetype open = line.indexOf('('), close = line.lastIndexOf(')');
        const QList<QByteArray> rest = line.mid(close + 2).split(' ');
        if (open < 0 || rest.size() < 2 || rest.at(1) != self || rest.at(0) == "Z")
            continue;
        if (name.isEmpty() || line.mid(open + 1, close - open - 1) == name)
            found.append(entry.toInt());
    }
    return found;
}

// Reaps the child once it has ended; stays true after that.
std::function<bool()> endOf(pid_t pid) {
    return [pid, ended = false]() mutable {
        ended = ended || ::waitpid(pid, nullptr, WNOHANG) == pid;
        return ended;
    };
}

// A private X server; links copied by the host are read back by another program (xclip) after
// the host has exited.
class ClipboardAfterExitTest : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char* tool : {"/usr/bin/Xvfb", "/usr/bin/xclip"}) {
            if (!QFile::exists(tool))
                GTEST_SKIP() << tool << " is not installed (packages xvfb, xclip)";
        }
        // Keepers outlive their callers: they become this process's children, so the test can
        // watch them end and leaves none behind.
        ASSERT_EQ(::prctl(PR_SET_CHILD_SUBREAPER, 1), 0);
        server.start("/usr/bin/Xvfb", {"-displayfd", "1", "-nolisten", "tcp", "-noreset"});
        ASSERT_TRUE(waitUntil([&] { return server.canReadLine(); }, 20s))
            << server.readAllStandardError().constData();
        display = ":" + QString::fromLatin1(server.readLine()).trimmed();
        environment.insert("DISPLAY", display);
        environment.remove("WAYLAND_DISPLAY");
        environment.insert("QT_LOGGING_RULES", "com.30814qv.kelvane.*.debug=true");

        const QString base = home.path() + "/Drives";
        ASSERT_TRUE(QDir().mkpath(base + "/Marketing/Plans"));
        QFile file(base + "/Marketing/Plans/Q3 plan.pdf");
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        ASSERT_TRUE(AtomicFile::write(
            FinderSyncConfig::configFile(),
            QStringLiteral(R"({"apiURL":"https://ws.example.com/api","mountBase":"%1"})")
                .arg(base)
                .toUtf8()));
        plans = base + "/Marketing/Plans";
    }

    void TearDown() override {
        for (pid_t child : childrenNamed({}))
            ::kill(child, SIGTERM);
        waitUntil([] { return childrenNamed({}).isEmpty(); }, 10s);
        if (server.state() != QProcess::NotRunning) {
            server.terminate();
            server.waitForFinished(10'000);
        }
        while (::waitpid(-1, nullptr, WNOHANG) > 0) {
        }
    }

    QByteArray pasted() {
        QProcess reader;
        reader.setProcessEnvironment(environment);
        reader.start("/usr/bin/xclip", {"-selection", "clipboard", "-o"});
        return reader.waitForFinished(10'000) ? reader.readAllStandardOutput() : QByteArray();
    }

    void takeClipboardElsewhere(const QByteArray& text) {
        QProcess writer;
        writer.setProcessEnvironment(environment);
        writer.start("/usr/bin/xclip", {"-selection", "clipboard", "-i"});
        writer.write(text);
        writer.closeWriteChannel();
        ASSERT_TRUE(writer.waitForFinished(10'000));
    }

    TestHome home;
    QProcess server;
    QString display;
    QString plans;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
};

TEST_F(ClipboardAfterExitTest, CopiedLinksStayPasteableUntilAnotherProgramTakesTheClipboard) {
    const HostResult copied =
        runHost({"copy-link", plans, plans + "/Q3 plan.pdf"}, environment, 30s);
    ASSERT_EQ(copied.exitCode, 0) << copied.err.constData();
    EXPECT_TRUE(copied.err.contains("copied 2 link(s)"));
    // The host has exited; the links are still there for another program to paste.
    EXPECT_EQ(pasted(), "https://ws.example.com/files/Plans\n"
                        "https://ws.example.com/view/Plans/Q3%20plan.pdf");
    const QList<pid_t> keepers = childrenNamed("kelvane-clipboa");
    ASSERT_EQ(keepers.size(), 1);

    // A second copy takes over, and the first keeper goes.
    ASSERT_EQ(runHost({"copy-link", plans}, environment, 30s).exitCode, 0);
    EXPECT_EQ(pasted(), "https://ws.example.com/files/Plans");
    EXPECT_TRUE(waitUntil(endOf(keepers.first()), 10s));
    const QList<pid_t> second = childrenNamed("kelvane-clipboa");
    ASSERT_EQ(second.size(), 1);

    // Another program takes the clipboard: the keeper has nothing left to serve and ends.
    takeClipboardElsewhere("something else");
    EXPECT_TRUE(waitUntil(endOf(second.first()), 10s));
    EXPECT_EQ(pasted(), "something else");
}

TEST_F(ClipboardAfterExitTest, TheKeeperRefusesEmptyInputAndAnUnreachableDisplay) {
    QProcess keeper;
    keeper.setProcessEnvironment(environment);
    keeper.start(KELVANE_CLIPBOARD_PATH, {});
    keeper.closeWriteChannel();
    ASSERT_TRUE(keeper.waitForFinished(10'000));
    EXPECT_EQ(keeper.exitCode(), 2);

    QProcessEnvironment gone = environment;
    gone.insert("DISPLAY", ":" + QString::number(display.mid(1).toInt() + 1000));
    keeper.setProcessEnvironment(gone);
    keeper.start(KELVANE_CLIPBOARD_PATH, {});
    keeper.write("text");
    keeper.closeWriteChannel();
    ASSERT_TRUE(keeper.waitForFinished(20'000));
    EXPECT_EQ(keeper.exitCode(), 1);
    EXPECT_TRUE(keeper.readAllStandardError().contains("kelvane-clipboard:"));
}

} // namespace
