#include "platform/LaunchAtLogin.h"
#include "platform/Paths.h"
#include "tests/support/TestHome.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <gtest/gtest.h>

namespace {

const QString kProgram = QStringLiteral("/opt/Kelvane/bin/kelvane");

QString entry() {
    QFile file(Paths::autostartEntry());
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

void writeEntry(const QString& text) {
    QDir().mkpath(QFileInfo(Paths::autostartEntry()).path());
    QFile file(Paths::autostartEntry());
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(text.toUtf8());
}

} // namespace

TEST(LaunchAtLoginTest, RegistersAndUnregistersAnAutostartEntryForThisProgram) {
    TestHome home;
    EXPECT_EQ(LaunchAtLogin::status(), LaunchAtLogin::Status::notRegistered);
    EXPECT_EQ(LaunchAtLogin::problemText(kProgram), LaunchAtLogin::kNotRegisteredText);
    EXPECT_EQ(LaunchAtLogin::set(true, kProgram), std::nullopt);
    EXPECT_EQ(LaunchAtLogin::status(), LaunchAtLogin::Status::enabled);
    EXPECT_TRUE(entry().contains("\nExec=/opt/Kelvane/bin/kelvane\n")) << entry().toStdString();
    EXPECT_TRUE(entry().startsWith("[Desktop Entry]\nType=Application\n"));
    EXPECT_TRUE(entry().contains("\nX-GNOME-Autostart-Delay=2\n"));
    EXPECT_EQ(LaunchAtLogin::problemText(kProgram), "");
    EXPECT_FALSE(LaunchAtLogin::lastError());

    EXPECT_EQ(LaunchAtLogin::set(false, kProgram), std::nullopt);
    EXPECT_FALSE(QFileInfo::exists(Paths::autostartEntry()));
    EXPECT_EQ(LaunchAtLogin::set(false, kProgram), std::nullopt) << "already off";
}

TEST(LaunchAtLoginTest, ReconcilesWithTheSettingAndFollowsAMovedInstallation) {
    TestHome home;
    LaunchAtLogin::reconcile(false, kProgram);
    EXPECT_FALSE(QFileInfo::exists(Paths::autostartEntry()));
    LaunchAtLogin::reconcile(true, kProgram);
    EXPECT_TRUE(LaunchAtLogin::startsProgram(kProgram));

    // The installation moved: the entry still starts the old one until the next reconcile.
    const QString moved = QStringLiteral("/home/me/Apps/Kelvane 2/bin/kelvane");
    EXPECT_FALSE(LaunchAtLogin::startsProgram(moved));
    LaunchAtLogin::reconcile(true, moved);
    EXPECT_TRUE(LaunchAtLogin::startsProgram(moved));
    EXPECT_TRUE(entry().contains("\nExec=\"/home/me/Apps/Kelvane 2/bin/kelvane\"\n"))
        << entry().toStdString();

    // A desktop's own switch turns it off; the setting turns it on again.
    writeEntry("[Desktop Entry]\nType=Application\nExec=" + kProgram + "\nHidden=true\n");
    EXPECT_EQ(LaunchAtLogin::status(), LaunchAtLogin::Status::notRegistered);
    writeEntry("[Desktop Entry]\nExec=" + kProgram + "\nX-GNOME-Autostart-enabled=false\n");
    EXPECT_EQ(LaunchAtLogin::status(), LaunchAtLogin::Status::notRegistered);
    LaunchAtLogin::reconcile(false, kProgram);
    EXPECT_TRUE(QFileInfo::exists(Paths::autostartEntry())) << "off already: left alone";
    LaunchAtLogin::reconcile(true, kProgram);
    EXPECT_EQ(LaunchAtLogin::status(), LaunchAtLogin::Status::enabled);
    LaunchAtLogin::reconcile(false, kProgram);
    EXPECT_FALSE(QFileInfo::exists(Paths::autostartEntry()));
}

TEST(LaunchAtLoginTest, RefusesProgramsThatLiveOnATemporaryMountOrARemovableDrive) {
    TestHome home;
    for (const char* path : {"/tmp/.mount_KelvanXyZ/usr/bin/kelvane", "/media/me/USB/kelvane",
                             "/run/media/me/USB/Kelvane/bin/kelvane"}) {
        const QString program = QString::fromLatin1(path);
        EXPECT_FALSE(LaunchAtLogin::canRegister(program)) << path;
        LaunchAtLogin::reconcile(true, program);
        EXPECT_FALSE(QFileInfo::exists(Paths::autostartEntry())) << "reconcile does nothing";
        EXPECT_FALSE(LaunchAtLogin::lastError()) << "and records no failure";
        EXPECT_EQ(LaunchAtLogin::set(true, program), LaunchAtLogin::kCannotRegisterText);
        EXPECT_EQ(LaunchAtLogin::lastError(), LaunchAtLogin::kCannotRegisterText);
        EXPECT_EQ(LaunchAtLogin::problemText(program), LaunchAtLogin::kCannotRegisterText);
        EXPECT_EQ(LaunchAtLogin::set(false, kProgram), std::nullopt);
    }
    EXPECT_TRUE(LaunchAtLogin::canRegister("/opt/Kelvane/bin/kelvane"));
    EXPECT_TRUE(LaunchAtLogin::canRegister("/tmp/build/Kelvane/bin/kelvane"));
    EXPECT_EQ(LaunchAtLogin::kCannotRegisterText,
              "Move Kelvane to your Applications folder — a login item can't point inside an "
              "AppImage or removable drive.");
}

TEST(LaunchAtLoginTest, QuotesAndReadsBackExecValues) {
    for (const QString& program :
         {QStringLiteral("/opt/Kelvane/bin/kelvane"), QStringLiteral("/a b/Kelvane/bin/kelvane"),
          QStringLiteral("/x/100% \"q\" $HOME `c` \\back/kelvane")}) {
        const QString text = LaunchAtLogin::entryText(program);
        const QString exec = text.section("\nExec=", 1).section('\n', 0, 0);
        EXPECT_EQ(LaunchAtLogin::execProgram(exec), program) << exec.toStdString();
    }
    EXPECT_EQ(LaunchAtLogin::execProgram("/usr/bin/kelvane --tray %u"), "/usr/bin/kelvane");
    EXPECT_EQ(LaunchAtLogin::execProgram("\"/a\\sb/kelvane\" x"), "/a b/kelvane");
}
