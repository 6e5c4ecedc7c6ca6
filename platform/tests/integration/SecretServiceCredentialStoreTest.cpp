#include "platform/SecretServiceCredentialStore.h"
#include "platform/CredentialStore.h"
#include "platform/FileCredentialStore.h"
#include "platform/Paths.h"
#include "tests/support/PrivateKeyring.h"
#include "tests/support/TestHome.h"

#include <QFile>
#include <gtest/gtest.h>

namespace {

const QString kService = QStringLiteral("com.30814qv.kelvane");
const QString kAccount = QStringLiteral("api_token");

// The store every program builds, but with a short deadline so a silent keyring costs little.
UnifiedCredentialStore storeWithDeadline(std::chrono::milliseconds deadline) {
    return UnifiedCredentialStore(
        [deadline] { return SecretServiceCredentialStore::presence(deadline); },
        std::make_unique<SecretServiceCredentialStore>(deadline),
        std::make_unique<FileCredentialStore>(Paths::credentialsFile()));
}

template <typename F> bool isUnavailable(F&& call) {
    try {
        call();
    } catch (const CredentialsUnavailable&) {
        return true;
    }
    return false;
}

} // namespace

TEST(SecretServiceCredentialStore, StoresInARealKeyringAndNeverTouchesTheFile) {
    TestHome home;
    PrivateKeyring keyring;
    if (!keyring.start(home.path()))
        GTEST_SKIP() << keyring.problem().toStdString();

    auto store = makeCredentialStore();
    store->save(kService, kAccount, "first");
    store->save(kService, kAccount, "second");
    ASSERT_EQ(store->kind(), "Secret Service");
    EXPECT_EQ(store->get(kService, kAccount), "second");
    EXPECT_FALSE(store->get(kService, "other"));
    EXPECT_FALSE(store->get("another.service", kAccount));
    // A second store (another process) sees the same item.
    EXPECT_EQ(makeCredentialStore()->get(kService, kAccount), "second");

    store->remove(kService, kAccount);
    EXPECT_FALSE(store->get(kService, kAccount));
    EXPECT_FALSE(QFile::exists(Paths::credentialsFile()));
}

TEST(SecretServiceCredentialStore, MovesAFileTokenIntoTheKeyringAndRemovalClearsBoth) {
    TestHome home;
    PrivateKeyring keyring;
    if (!keyring.start(home.path()))
        GTEST_SKIP() << keyring.problem().toStdString();
    FileCredentialStore file(Paths::credentialsFile());
    file.save(kService, kAccount, "from-the-file");

    auto store = makeCredentialStore();
    EXPECT_EQ(store->get(kService, kAccount), "from-the-file");
    EXPECT_FALSE(QFile::exists(Paths::credentialsFile())) << "moved, not copied";
    EXPECT_EQ(SecretServiceCredentialStore().get(kService, kAccount), "from-the-file");

    // A stale copy written behind the store's back loses to the keyring and is cleaned up.
    file.save(kService, kAccount, "stale");
    EXPECT_EQ(store->get(kService, kAccount), "from-the-file");
    EXPECT_FALSE(QFile::exists(Paths::credentialsFile()));

    file.save(kService, kAccount, "stale");
    store->remove(kService, kAccount);
    EXPECT_FALSE(SecretServiceCredentialStore().get(kService, kAccount));
    EXPECT_FALSE(QFile::exists(Paths::credentialsFile()));
}

TEST(SecretServiceCredentialStore, ALockedCollectionIsUnavailableNotAbsent) {
    TestHome home;
    PrivateKeyring keyring;
    if (!keyring.start(home.path()))
        GTEST_SKIP() << keyring.problem().toStdString();
    SecretServiceCredentialStore direct;
    direct.save(kService, kAccount, "kept");
    FileCredentialStore(Paths::credentialsFile()).save(kService, "other", "in-the-file");
    ASSERT_TRUE(keyring.lockLoginCollection());

    EXPECT_TRUE(isUnavailable([&] { direct.get(kService, kAccount); }));
    // Nothing stored under this account, but a locked collection cannot prove it.
    EXPECT_TRUE(isUnavailable([&] { direct.get(kService, "never-stored"); }));
    auto store = makeCredentialStore();
    EXPECT_TRUE(isUnavailable([&] { store->get(kService, "other"); }))
        << "no fall back to the file while a keyring exists";
    EXPECT_EQ(FileCredentialStore(Paths::credentialsFile()).get(kService, "other"), "in-the-file");
}

TEST(SecretServiceCredentialStore, ASilentServiceIsUnavailableAtTheDeadline) {
    TestHome home;
    PrivateKeyring keyring;
    if (!keyring.start(home.path(), PrivateKeyring::Kind::silent))
        GTEST_SKIP() << keyring.problem().toStdString();
    FileCredentialStore(Paths::credentialsFile()).save(kService, kAccount, "in-the-file");

    EXPECT_EQ(SecretServiceCredentialStore::presence(), UnifiedCredentialStore::Presence::present);
    UnifiedCredentialStore store = storeWithDeadline(std::chrono::milliseconds(500));
    EXPECT_TRUE(isUnavailable([&] { store.get(kService, kAccount); }));
    EXPECT_TRUE(isUnavailable([&] { store.save(kService, kAccount, "new"); }));
    EXPECT_EQ(FileCredentialStore(Paths::credentialsFile()).get(kService, kAccount), "in-the-file")
        << "neither read nor replaced while the keyring does not answer";

    // Removal still clears the copy it can reach, then reports the one it cannot.
    EXPECT_TRUE(isUnavailable([&] { store.remove(kService, kAccount); }));
    EXPECT_FALSE(QFile::exists(Paths::credentialsFile()));
}
