#include "platform/CredentialStore.h"
#include "platform/AtomicFile.h"
#include "platform/FileCredentialStore.h"
#include "platform/Paths.h"
#include "tests/support/FileMode.h"
#include "tests/support/TestHome.h"

#include <QFile>
#include <QFileInfo>
#include <gtest/gtest.h>

TEST(FileCredentialStore, KeepsOneOwnerOnlyItemPerServiceAndAccount) {
    TestHome home;
    FileCredentialStore store(Paths::credentialsFile());
    EXPECT_FALSE(store.get("svc", "api_token"));

    store.save("svc", "api_token", "first");
    store.save("svc", "api_token", "second");
    store.save("other", "api_token", "elsewhere");
    EXPECT_EQ(store.get("svc", "api_token"), "second");
    EXPECT_EQ(store.get("other", "api_token"), "elsewhere");
    EXPECT_EQ(modeOf(Paths::credentialsFile()), kOwnerReadWrite);

    // A second instance (another process) reads the same items.
    FileCredentialStore again(Paths::credentialsFile());
    EXPECT_EQ(again.get("svc", "api_token"), "second");

    again.remove("svc", "api_token");
    EXPECT_FALSE(store.get("svc", "api_token"));
    EXPECT_EQ(store.get("other", "api_token"), "elsewhere");
    store.remove("svc", "never-stored");
}

TEST(FileCredentialStore, CorruptFileReadsAsEmptyAndIsReplacedWhole) {
    TestHome home;
    ASSERT_TRUE(AtomicFile::write(Paths::credentialsFile(), "{not json", AtomicFile::Mode::Shared));
    FileCredentialStore store(Paths::credentialsFile());
    EXPECT_FALSE(store.get("svc", "api_token"));
    store.save("svc", "api_token", "t");
    EXPECT_EQ(store.get("svc", "api_token"), "t");
    EXPECT_EQ(modeOf(Paths::credentialsFile()), kOwnerReadWrite);
}

TEST(CredentialStoreFactory, FallsBackToTheFileWithoutASessionBus) {
    TestHome home;
    qunsetenv("DBUS_SESSION_BUS_ADDRESS");
    qputenv("XDG_RUNTIME_DIR", home.file("no-runtime").toUtf8());
    auto store = makeCredentialStore();
    EXPECT_EQ(store->kind(), "file");
    store->save("svc", "acct", "v");
    EXPECT_TRUE(QFile::exists(Paths::credentialsFile()));
}

TEST(AtomicFile, CreatesFoldersAndHonoursTheMode) {
    TestHome home;
    const QString secret = home.file("a/b/secret.json");
    const QString shared = home.file("a/shared.json");
    ASSERT_TRUE(AtomicFile::write(secret, "s", AtomicFile::Mode::OwnerOnly));
    ASSERT_TRUE(AtomicFile::write(shared, "x"));
    EXPECT_EQ(modeOf(secret), kOwnerReadWrite);
    QFile f(secret);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), "s");

    // Rewriting a file that was world-readable narrows it.
    ASSERT_TRUE(AtomicFile::write(shared, "y", AtomicFile::Mode::OwnerOnly));
    EXPECT_EQ(modeOf(shared), kOwnerReadWrite);
}

TEST(AtomicFile, FailureLeavesTheOldContent) {
    if (geteuid() == 0)
        GTEST_SKIP() << "root ignores folder permissions, so a write cannot be made to fail here";
    TestHome home;
    const QString file = home.file("locked/config.json");
    ASSERT_TRUE(AtomicFile::write(file, "old"));
    QFile::setPermissions(home.file("locked"), QFileDevice::ReadOwner | QFileDevice::ExeOwner);
    EXPECT_FALSE(AtomicFile::write(file, "new"));
    QFile f(file);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), "old");
}
