#include "platform/CredentialStore.h"
#include "platform/AtomicFile.h"
#include "platform/FileCredentialStore.h"
#include "platform/Paths.h"
#include "platform/UnifiedCredentialStore.h"
#include "platform/WriteError.h"
#include "tests/support/FileMode.h"
#include "tests/support/InMemoryCredentialStore.h"
#include "tests/support/TestHome.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <gtest/gtest.h>

namespace {

// Makes writes under the credentials folder fail, also for root: a file stands where the
// folder should be.
void blockTheCredentialsFolder() {
    const QString folder = QFileInfo(Paths::credentialsFile()).absolutePath();
    QDir().mkpath(QFileInfo(folder).absolutePath());
    QFile blocker(folder);
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
}

template <typename F> QString failureOf(F&& call) {
    try {
        call();
    } catch (const KelvaneError& e) {
        return e.description();
    }
    return QStringLiteral("<no failure>");
}

struct Stores {
    InMemoryCredentialStore* keyring = new InMemoryCredentialStore;
    InMemoryCredentialStore* file = new InMemoryCredentialStore;
    UnifiedCredentialStore::Presence presence = UnifiedCredentialStore::Presence::present;
    int probes = 0;
    UnifiedCredentialStore store{[this] {
                                     ++probes;
                                     return presence;
                                 },
                                 std::unique_ptr<CredentialStore>(keyring),
                                 std::unique_ptr<CredentialStore>(file)};
};

const QString kS = QStringLiteral("svc");
const QString kA = QStringLiteral("api_token");

} // namespace

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

    // The file goes with its last secret: nothing is left on disk after a sign-out.
    store.remove("other", "api_token");
    EXPECT_FALSE(QFile::exists(Paths::credentialsFile()));
}

TEST(FileCredentialStore, FailedWritesThrowNamingTheFile) {
    TestHome home;
    blockTheCredentialsFolder();
    FileCredentialStore store(Paths::credentialsFile());
    const QString failure = failureOf([&] { store.save("svc", "api_token", "t"); });
    EXPECT_TRUE(failure.startsWith("Could not write " + Paths::credentialsFile() + ": "))
        << failure.toStdString();
    EXPECT_FALSE(store.get("svc", "api_token"));
}

TEST(FileCredentialStore, CorruptFileReadsAsEmptyAndIsReplacedWhole) {
    TestHome home;
    ASSERT_TRUE(AtomicFile::write(Paths::credentialsFile(), "{not json", AtomicFile::Mode::Shared));
    FileCredentialStore store(Paths::credentialsFile());
    EXPECT_FALSE(store.get("svc", "api_token"));
    store.save("svc", "api_token", "t");
    EXPECT_EQ(store.get("svc", "api_token"), "t");
    EXPECT_EQ(modeOf(Paths::credentialsFile()), kOwnerReadWrite);

    // Removing from a damaged file removes the file: whatever it holds was a secret.
    ASSERT_TRUE(AtomicFile::write(Paths::credentialsFile(), "{\"svc\":{\"api_tok",
                                  AtomicFile::Mode::OwnerOnly));
    store.remove("svc", "api_token");
    EXPECT_FALSE(QFile::exists(Paths::credentialsFile()));
}

TEST(CredentialStoreFactory, FallsBackToTheFileWithoutASessionBus) {
    TestHome home;
    qunsetenv("DBUS_SESSION_BUS_ADDRESS");
    qputenv("XDG_RUNTIME_DIR", home.file("no-runtime").toUtf8());
    auto store = makeCredentialStore();
    EXPECT_EQ(store->kind(), "unknown") << "the bus is asked on first use, not when built";
    store->save("svc", "acct", "v");
    EXPECT_EQ(store->kind(), "file");
    EXPECT_TRUE(QFile::exists(Paths::credentialsFile()));
}

TEST(UnifiedCredentialStore, WithAKeyringAFileSecretMovesInAndRemovalClearsBoth) {
    Stores s;
    s.file->items.insert({kS, kA}, "old");
    EXPECT_EQ(s.store.get(kS, kA), "old");
    EXPECT_EQ(s.keyring->items.value({kS, kA}), "old");
    EXPECT_TRUE(s.file->items.isEmpty());

    // The keyring's value wins over a stale copy, which goes.
    s.file->items.insert({kS, kA}, "stale");
    EXPECT_EQ(s.store.get(kS, kA), "old");
    EXPECT_TRUE(s.file->items.isEmpty());

    // A save lands in the keyring only and takes an older file copy with it.
    s.file->items.insert({kS, kA}, "stale");
    s.store.save(kS, kA, "new");
    EXPECT_EQ(s.keyring->items.value({kS, kA}), "new");
    EXPECT_TRUE(s.file->items.isEmpty());

    s.file->items.insert({kS, kA}, "stale");
    s.store.remove(kS, kA);
    EXPECT_TRUE(s.keyring->items.isEmpty());
    EXPECT_TRUE(s.file->items.isEmpty());
    EXPECT_EQ(s.probes, 1) << "the bus is asked once";
    EXPECT_EQ(s.store.kind(), "memory");

    // A keyring that cannot take the file's secret still lets it be used, and keeps the file.
    s.file->items.insert({kS, kA}, "only-here");
    s.keyring->refuseWrites = true;
    EXPECT_EQ(s.store.get(kS, kA), "only-here");
    EXPECT_EQ(s.file->items.value({kS, kA}), "only-here");
}

TEST(UnifiedCredentialStore, AKeyringThatCannotAnswerIsNeverReplacedByTheFile) {
    Stores s;
    s.file->items.insert({kS, kA}, "in-the-file");
    s.keyring->unavailable = true;
    EXPECT_THROW(s.store.get(kS, kA), CredentialsUnavailable);
    EXPECT_THROW(s.store.save(kS, kA, "new"), CredentialsUnavailable);
    EXPECT_EQ(s.file->items.value({kS, kA}), "in-the-file") << "neither used nor replaced";
    // Removal clears the copy it can reach and reports the one it cannot.
    EXPECT_THROW(s.store.remove(kS, kA), CredentialsUnavailable);
    EXPECT_TRUE(s.file->items.isEmpty());

    // A bus too slow to say whether a keyring exists is the same: unavailable, asked again.
    Stores slow;
    slow.presence = UnifiedCredentialStore::Presence::unknown;
    slow.file->items.insert({kS, kA}, "in-the-file");
    EXPECT_THROW(slow.store.get(kS, kA), CredentialsUnavailable);
    EXPECT_EQ(slow.store.kind(), "unknown");
    slow.presence = UnifiedCredentialStore::Presence::none;
    EXPECT_EQ(slow.store.get(kS, kA), "in-the-file");
    EXPECT_EQ(slow.probes, 2);
    EXPECT_TRUE(slow.keyring->items.isEmpty()) << "no keyring: the file is the store";
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

TEST(AtomicFile, FailureSaysWhy) {
    TestHome home;
    QFile blocker(home.file("not-a-folder"));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    QString reason;
    EXPECT_FALSE(AtomicFile::write(home.file("not-a-folder/config.json"), "x",
                                   AtomicFile::Mode::OwnerOnly, &reason));
    EXPECT_EQ(reason, "cannot create the folder " + home.file("not-a-folder"));
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
