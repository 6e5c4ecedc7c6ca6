#include "app/shell/ClipboardCommands.h"
#include "app/shell/InstanceChannel.h"
#include "findersync/tests/support/HostProcess.h"
#include "platform/AtomicFile.h"
#include "platform/Paths.h"
#include "platform/PluginRegistry.h"
#include "shared/FinderSyncConfig.h"
#include "tests/support/FakeClipboard.h"
#include "tests/support/FileManagerDesk.h"
#include "tests/support/TestHome.h"

#include <QDir>
#include <gtest/gtest.h>
#include <unistd.h>

namespace {

// The files the registry writes are run the way their file managers run them, from an
// installation whose path needs quoting.
class ActionFilesRunTest : public ::testing::Test {
protected:
    void SetUp() override {
        const QString bin = home.path() + "/Kel vane's \"x\"/bin";
        ASSERT_TRUE(QDir().mkpath(bin));
        program = bin + "/kelvane-findersync";
        ASSERT_EQ(::symlink(QFile::encodeName(hostProgram()).constData(),
                            QFile::encodeName(program).constData()),
                  0);
        ASSERT_TRUE(PluginRegistry(desk.options()).install(program).isEmpty());
        ASSERT_TRUE(QDir().mkpath(home.path() + "/Drives/Marketing/Plans"));
        ASSERT_TRUE(AtomicFile::write(
            FinderSyncConfig::configFile(),
            QStringLiteral(R"({"apiURL":"https://ws.example.com/api","mountBase":"%1"})")
                .arg(home.path() + "/Drives")
                .toUtf8()));
    }

    int runFile(const QString& file, const QStringList& arguments,
                const QProcessEnvironment& environment = QProcessEnvironment::systemEnvironment()) {
        QProcess process;
        process.setProcessEnvironment(environment);
        process.start(file, arguments);
        if (!waitUntil([&] { return process.state() == QProcess::NotRunning; }))
            return -1;
        return process.exitCode();
    }

    TestHome home;
    FileManagerDesk desk;
    QString program;
};

TEST_F(ActionFilesRunTest, NemosGateAndNautilussScriptReachTheHostWithoutAShell) {
    const QString gate = Paths::nemoActionsDir() + "/kelvane-in-drive";
    EXPECT_EQ(runFile(gate, {home.path() + "/Drives/Marketing/Plans"}), 0);
    EXPECT_EQ(runFile(gate, {"/etc/passwd"}), 1);

    InstanceChannel channel;
    ASSERT_TRUE(channel.listen());
    FakeClipboard clipboard;
    ClipboardCommands::registerClipboard(channel, clipboard);
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("NAUTILUS_SCRIPT_SELECTED_FILE_PATHS",
                       home.path() + "/Drives/Marketing/Plans\n");
    EXPECT_EQ(runFile(Paths::nautilusScriptsDir() + "/Kelvane/Copy Kelvane Link", {}, environment),
              0);
    EXPECT_EQ(clipboard.texts, QStringList{"https://ws.example.com/files/Plans"});
}

} // namespace
