#include "app/settings/AppSettings.h"
#include "app/shell/AppDelegate.h"
#include "app/tests/support/DelegateServices.h"
#include "app/tests/support/HeadlessKelvane.h"
#include "platform/LaunchAtLogin.h"
#include "platform/Paths.h"
#include "shared/WaitForTask.h"
#include "tests/support/TestHome.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

using namespace std::chrono_literals;

QString entry() {
    QFile file(Paths::autostartEntry());
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

// One run of the application: built, launched, and terminated at the end of the scope.
struct Launch {
    explicit Launch(DelegateServices& services) : delegate(services.services(), services.ui) {
        delegate.applicationDidFinishLaunching();
    }
    ~Launch() { WaitForTask::run(delegate.applicationWillTerminate()); }
    AppDelegate delegate;
};

} // namespace

TEST(LoginItemTest, TheFirstLaunchTurnsItOnOnceAndASaveTurnsItOff) {
    TestHome home;
    DelegateServices services;
    AppSettings stored;
    stored.launchAtLogin = false;
    stored.save(services.defaults);
    const QString program = QCoreApplication::applicationFilePath();
    {
        Launch first(services);
        EXPECT_TRUE(services.defaults.boolean(DefaultsKeys::kLoginItemMigrated));
        EXPECT_TRUE(first.delegate.settings().launchAtLogin) << "the migration forces it on";
        EXPECT_TRUE(entry().contains("\nExec=" + program + "\n")) << entry().toStdString();
        EXPECT_EQ(LaunchAtLogin::status(), LaunchAtLogin::Status::enabled);

        AppSettings off = first.delegate.settings();
        off.launchAtLogin = false;
        first.delegate.settingsSaved(off);
        EXPECT_FALSE(QFileInfo::exists(Paths::autostartEntry()));
    }
    {
        Launch second(services);
        EXPECT_FALSE(second.delegate.settings().launchAtLogin) << "forced only once";
        EXPECT_FALSE(QFileInfo::exists(Paths::autostartEntry()));
        AppSettings on = second.delegate.settings();
        on.launchAtLogin = true;
        second.delegate.settingsSaved(on);
        EXPECT_TRUE(LaunchAtLogin::startsProgram(program));
    }
    // The installation moved since the entry was written: the next launch points it here.
    QFile::remove(Paths::autostartEntry());
    QFile stale(Paths::autostartEntry());
    ASSERT_TRUE(stale.open(QIODevice::WriteOnly));
    stale.write("[Desktop Entry]\nType=Application\nExec=/old/place/bin/kelvane\n");
    stale.close();
    Launch third(services);
    EXPECT_TRUE(LaunchAtLogin::startsProgram(program)) << entry().toStdString();
}

// An AppImage runs from a temporary mount under /tmp/.mount_…, gone once the image closes.
TEST(LoginItemTest, AProgramInsideAnAppImageMountRegistersNothingAndSaysWhy) {
    TestHome home;
    QTemporaryDir image(QStringLiteral("/tmp/.mount_kelvaneXXXXXX"));
    ASSERT_TRUE(image.isValid());
    QDir().mkpath(image.filePath("usr/bin"));
    const QString inside = image.filePath("usr/bin/kelvane");
    ASSERT_TRUE(QFile::copy(QStringLiteral(KELVANE_APP_PATH), inside));

    HeadlessKelvane kelvane(home.path());
    QProcess run;
    run.setProcessEnvironment(kelvane.environment());
    run.setProcessChannelMode(QProcess::MergedChannels);
    run.start(inside, {"--headless"});
    ASSERT_TRUE(run.waitForStarted());
    QJsonObject item;
    EXPECT_TRUE(waitUntil(
        [&] {
            item = kelvane.status().value("loginItem").toObject();
            return !item.isEmpty();
        },
        20s))
        << run.readAll().toStdString();
    EXPECT_TRUE(item.value("setting").toBool());
    EXPECT_EQ(item.value("status").toInt(), 0);
    EXPECT_EQ(item.value("problem").toString(), LaunchAtLogin::kCannotRegisterText);
    EXPECT_FALSE(QFileInfo::exists(Paths::autostartEntry()));
    EXPECT_TRUE(
        kelvane.run({"status"})
            .out.contains("Launch at login: on (" + LaunchAtLogin::kCannotRegisterText + ")"));
    run.terminate();
    EXPECT_TRUE(run.waitForFinished(30'000));
}
