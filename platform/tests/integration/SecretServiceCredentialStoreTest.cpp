#include "platform/SecretServiceCredentialStore.h"
#include "platform/CredentialStore.h"
#include "platform/Paths.h"
#include "tests/support/TestHome.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QThread>
#include <gtest/gtest.h>

namespace {

// A private session bus with a real GNOME Keyring on it, torn down with the test.
class PrivateKeyring {
public:
    bool start(const QString& home) {
        const QString dbus = QStandardPaths::findExecutable("dbus-daemon");
        const QString keyring = QStandardPaths::findExecutable("gnome-keyring-daemon");
        if (dbus.isEmpty() || keyring.isEmpty()) {
            problem_ = "dbus-daemon or gnome-keyring-daemon is not installed";
            return false;
        }
        bus_.start(dbus, {"--session", "--nofork", "--print-address=1"});
        if (!bus_.waitForReadyRead(10'000)) {
            problem_ = "dbus-daemon printed no address";
            return false;
        }
        const QByteArray address = bus_.readLine().trimmed();
        qputenv("DBUS_SESSION_BUS_ADDRESS", address);
        qputenv("XDG_RUNTIME_DIR", home.toUtf8());
        qputenv("XDG_DATA_HOME", (home + "/.local/share").toUtf8());
        keyring_.start(keyring, {"--unlock", "--components=secrets", "--foreground"});
        if (!keyring_.waitForStarted(10'000)) {
            problem_ = "gnome-keyring-daemon did not start";
            return false;
        }
        // The password must reach the daemon before the test stops pumping events.
        keyring_.write("test-password");
        keyring_.waitForBytesWritten(10'000);
        keyring_.closeWriteChannel();
        return true;
    }
    ~PrivateKeyring() {
        for (QProcess* p : {&keyring_, &bus_}) {
            p->terminate();
            if (!p->waitForFinished(5'000))
                p->kill();
        }
    }
    QString problem() const { return problem_; }
    QString keyringOutput() { return QString::fromUtf8(keyring_.readAllStandardError()); }

private:
    QProcess bus_;
    QProcess keyring_;
    QString problem_;
};

} // namespace

TEST(SecretServiceCredentialStore, StoresInARealKeyringAndNeverTouchesTheFile) {
    TestHome home;
    PrivateKeyring keyring;
    if (!keyring.start(home.path()))
        GTEST_SKIP() << keyring.problem().toStdString();

    // The keyring answers on the bus before it has created its login collection (the
    // default one); wait for both, with a deadline.
    const QString loginKeyring = home.file(".local/share/keyrings/login.keyring");
    auto ready = [&] {
        return QFile::exists(loginKeyring) && SecretServiceCredentialStore::available();
    };
    QDeadlineTimer deadline(20'000);
    while (!ready() && !deadline.hasExpired())
        QThread::msleep(50);
    ASSERT_TRUE(ready()) << "keyring never answered with a login collection: "
                         << keyring.keyringOutput().toStdString();

    auto store = makeCredentialStore();
    ASSERT_EQ(store->kind(), "Secret Service");
    store->save("com.30814qv.kelvane", "api_token", "first");
    store->save("com.30814qv.kelvane", "api_token", "second");
    EXPECT_EQ(store->get("com.30814qv.kelvane", "api_token"), "second");
    EXPECT_FALSE(store->get("com.30814qv.kelvane", "other"));
    EXPECT_FALSE(store->get("another.service", "api_token"));

    store->remove("com.30814qv.kelvane", "api_token");
    EXPECT_FALSE(store->get("com.30814qv.kelvane", "api_token"));
    EXPECT_FALSE(QFile::exists(Paths::credentialsFile()));
}
