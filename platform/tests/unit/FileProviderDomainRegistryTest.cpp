#include "platform/fileprovider/FileProviderDomainRegistry.h"
#include "platform/Paths.h"
#include "platform/fileprovider/FileProviderError.h"
#include "platform/fileprovider/FileProviderItemIdentifier.h"
#include "tests/support/TestHome.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <gtest/gtest.h>

namespace {

const FileProviderDomain kDomain{"com.30814qv.kelvane.domain", "Kelvane"};

class FileProviderDomainRegistryTest : public ::testing::Test {
protected:
    TestHome home;
    FileProviderDomainRegistry registry;
};

TEST_F(FileProviderDomainRegistryTest, AddListRemovePersistInTheDomainsFile) {
    EXPECT_TRUE(registry.domains().isEmpty());
    registry.addDomain(kDomain);
    registry.addDomain({"other", "Other"});
    registry.addDomain({kDomain.identifier, "Renamed"}); // same identifier: replaced
    EXPECT_EQ(registry.file(), Paths::fileProviderDomainsFile());
    EXPECT_EQ(FileProviderDomainRegistry().domains(),
              (QList<FileProviderDomain>{{kDomain.identifier, "Renamed"}, {"other", "Other"}}));
    EXPECT_TRUE(QFileInfo(Paths::cloudStorageRoot()).isDir());

    registry.removeDomain(kDomain);
    EXPECT_EQ(registry.domains(), (QList<FileProviderDomain>{{"other", "Other"}}));
    registry.removeDomain(kDomain); // already gone: no error
    EXPECT_EQ(registry.domains().size(), 1);
}

TEST_F(FileProviderDomainRegistryTest, DamagedListsReadAsEmptyOrSkipBadEntries) {
    QDir().mkpath(QFileInfo(registry.file()).absolutePath());
    QFile f(registry.file());
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(R"({"domains":[{"identifier":""},{"displayName":"x"},7,)"
            R"({"identifier":"ok","displayName":"OK"}]})");
    f.close();
    EXPECT_EQ(registry.domains(), (QList<FileProviderDomain>{{"ok", "OK"}}));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("{not json");
    f.close();
    EXPECT_TRUE(registry.domains().isEmpty());
    registry.addDomain(kDomain); // a damaged list is replaced by a sound one
    EXPECT_EQ(registry.domains(), QList{kDomain});
}

TEST_F(FileProviderDomainRegistryTest, AddFailsWithTheFileWhenTheListCannotBeWritten) {
    FileProviderDomainRegistry blocked(home.file("a-file/domains.json"));
    QFile blocker(home.file("a-file"));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    try {
        blocked.addDomain(kDomain);
        FAIL() << "expected a FileProviderError";
    } catch (const FileProviderError& e) {
        EXPECT_TRUE(e.description().contains("a-file/domains.json"));
    }
    EXPECT_THROW(registry.addDomain({"", "No id"}), FileProviderError);
}

TEST_F(FileProviderDomainRegistryTest, ManagersOfRegisteredDomainsCountSignalsPerContainer) {
    EXPECT_EQ(registry.managerForDomain(kDomain), nullptr);
    registry.addDomain(kDomain);
    auto manager = registry.managerForDomain({kDomain.identifier, "any name"});
    ASSERT_NE(manager, nullptr);
    EXPECT_EQ(manager->domain(), kDomain);
    const QString root = FileProviderItemIdentifier::kRootContainer;
    const QString workingSet = FileProviderItemIdentifier::kWorkingSet;
    EXPECT_EQ(manager->signalGeneration(root), 0);
    EXPECT_TRUE(manager->signalEnumerator(root));
    EXPECT_TRUE(manager->signalEnumerator(root));
    EXPECT_TRUE(manager->signalEnumerator(workingSet));
    // Another handle (as the extension's host would hold) sees the same generations.
    auto other = registry.managerForDomain(kDomain);
    EXPECT_EQ(other->signalGeneration(root), 2);
    EXPECT_EQ(other->signalGeneration(workingSet), 1);
    EXPECT_TRUE(manager->signalsFile().startsWith(QFileInfo(registry.file()).absolutePath()));
}

TEST_F(FileProviderDomainRegistryTest, UserVisiblePathsStayUnderTheDomainRoot) {
    registry.addDomain(kDomain);
    auto manager = registry.managerForDomain(kDomain);
    const QString root = Paths::cloudStorageRoot();
    EXPECT_EQ(manager->userVisiblePath(FileProviderItemIdentifier::kRootContainer), root);
    EXPECT_EQ(manager->userVisiblePath("/"), root);
    EXPECT_EQ(manager->userVisiblePath("/docs/a.txt"), root + "/docs/a.txt");
    EXPECT_FALSE(manager->userVisiblePath("/docs/../../etc"));
    EXPECT_FALSE(manager->userVisiblePath(FileProviderItemIdentifier::kWorkingSet));
    EXPECT_FALSE(manager->userVisiblePath("relative"));
}

} // namespace

namespace {

TEST_F(FileProviderDomainRegistryTest, EvictionDropsLocalCopiesAndDownloadsAreQueuedOnce) {
    registry.addDomain({"d", "D"});
    const auto manager = registry.managerForDomain({"d", {}});
    ASSERT_TRUE(manager);
    const QString local = Paths::cloudStorageRoot() + "/Team/a.txt";
    QDir().mkpath(Paths::cloudStorageRoot() + "/Team/Sub");
    QFile f(local);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.close();
    manager->evictItem("/Team/a.txt");
    EXPECT_FALSE(QFile::exists(local));
    EXPECT_NO_THROW(manager->evictItem("/Team/a.txt")) << "no local copy: nothing to drop";
    manager->evictItem("/Team");
    EXPECT_FALSE(QFileInfo::exists(Paths::cloudStorageRoot() + "/Team/Sub"));
    EXPECT_THROW(manager->evictItem("NSFileProviderTrashContainerItemIdentifier"),
                 FileProviderError);
    QDir().mkpath(Paths::cloudStorageRoot() + "/Other/Deep");
    QFile hidden(Paths::cloudStorageRoot() + "/.hidden");
    ASSERT_TRUE(hidden.open(QIODevice::WriteOnly));
    hidden.close();
    manager->evictItem(FileProviderItemIdentifier::kRootContainer);
    EXPECT_TRUE(QFileInfo(Paths::cloudStorageRoot()).isDir()) << "the domain's folder stays";
    EXPECT_TRUE(QDir(Paths::cloudStorageRoot())
                    .entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot)
                    .isEmpty())
        << "everything downloaded into it goes";

    manager->requestDownload("/Team/b.txt");
    manager->requestDownload("/Team/c.txt");
    manager->requestDownload("/Team/b.txt");
    EXPECT_THROW(manager->requestDownload("/Team/../etc"), FileProviderError);
    EXPECT_EQ(manager->takeDownloadRequests(), QStringList({"/Team/b.txt", "/Team/c.txt"}));
    EXPECT_TRUE(manager->takeDownloadRequests().isEmpty()) << "taken requests are gone";
}

} // namespace
