#include "app/fileprovider-domain/FileProviderManager.h"
#include "app/tests/support/ClientServices.h"
#include "platform/FileViewer.h"
#include "platform/Paths.h"
#include "platform/fileprovider/FileProviderDomainRegistry.h"
#include "platform/fileprovider/FileProviderError.h"
#include "platform/fileprovider/FileProviderItemIdentifier.h"
#include "shared/InvalidationToken.h"
#include "shared/WaitForTask.h"
#include "tests/support/TestHome.h"
#include "tests/support/WaitUntil.h"

#include <QCoroTask>
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <gtest/gtest.h>

namespace {

using namespace std::chrono_literals;

// The real registry, with counted calls and an addDomain that can be told to fail (before or
// after it has done its work).
struct ScriptedDomains : FileProviderDomainService {
    enum class AddFailure { none, beforeAdding, afterAdding };

    QList<FileProviderDomain> domains() override { return real.domains(); }
    void addDomain(const FileProviderDomain& domain) override {
        ++adds;
        if (addFailure == AddFailure::afterAdding)
            real.addDomain(domain);
        if (addFailure != AddFailure::none)
            throw FileProviderError(-1, QStringLiteral("The operation couldn't be completed."));
        real.addDomain(domain);
    }
    void removeDomain(const FileProviderDomain& domain) override {
        if (removeFails)
            throw FileProviderError(-2001, QStringLiteral("Removal refused."));
        real.removeDomain(domain);
    }
    std::unique_ptr<FileProviderDomainManager>
    managerForDomain(const FileProviderDomain& domain) override {
        return real.managerForDomain(domain);
    }

    FileProviderDomainRegistry real;
    AddFailure addFailure = AddFailure::none;
    bool removeFails = false;
    int adds = 0;
};

class FileProviderManagerTest : public ::testing::Test {
protected:
    FileProviderManagerTest()
        : manager(domains, viewer, FileProviderManager::Options{30s, [this] { return clockMs; }}) {
        QObject::connect(&manager, &FileProviderManager::statusChanged,
                         [this] { statuses.append(manager.status()); });
        QObject::connect(&manager, &FileProviderManager::refreshed, [this] { ++refreshes; });
    }

    static QString tokenText() {
        QFile f(InvalidationToken::file());
        return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
    }
    qint64 generation(const QString& container) {
        auto m = domains.real.managerForDomain(FileProviderManager::domain());
        return m ? m->signalGeneration(container) : -1;
    }

    TestHome home;
    ScriptedDomains domains;
    RecordingViewer viewer;
    qint64 clockMs = 1'700'000'000'500;
    FileProviderManager manager;
    QList<FileProviderStatus> statuses;
    int refreshes = 0;
};

TEST_F(FileProviderManagerTest, RegisterAddsTheDomainOnce) {
    EXPECT_EQ(manager.status(), FileProviderStatus::unregistered());
    WaitForTask::run(manager.registerDomain());
    EXPECT_EQ(statuses,
              (QList{FileProviderStatus::registering(), FileProviderStatus::registered()}));
    EXPECT_EQ(domains.real.domains(),
              (QList{FileProviderDomain{"com.30814qv.kelvane.domain", "Kelvane"}}));
    EXPECT_TRUE(QFileInfo(Paths::cloudStorageRoot()).isDir());
    EXPECT_EQ(manager.lastError(), QString());

    // A domain left from an earlier run stays as it is.
    FileProviderManager nextRun(domains, viewer);
    WaitForTask::run(nextRun.registerDomain());
    EXPECT_EQ(nextRun.status(), FileProviderStatus::registered());
    EXPECT_EQ(domains.adds, 1);
}

TEST_F(FileProviderManagerTest, FailedAddOfADomainThatExistsAnywayCountsAsRegistered) {
    domains.addFailure = ScriptedDomains::AddFailure::afterAdding;
    WaitForTask::run(manager.registerDomain());
    EXPECT_EQ(manager.status(), FileProviderStatus::registered());
    EXPECT_EQ(manager.lastError(), QString());
}

TEST_F(FileProviderManagerTest, FailedAddIsReportedAndClearedByTheNextSuccess) {
    domains.addFailure = ScriptedDomains::AddFailure::beforeAdding;
    WaitForTask::run(manager.registerDomain());
    const QString d = QStringLiteral("The operation couldn't be completed.");
    EXPECT_EQ(manager.status(), FileProviderStatus::failed(d));
    EXPECT_NE(manager.status(), FileProviderStatus::failed("other text"));
    EXPECT_EQ(manager.lastError(), d);

    domains.addFailure = ScriptedDomains::AddFailure::none;
    WaitForTask::run(manager.registerDomain());
    EXPECT_EQ(manager.status(), FileProviderStatus::registered());
    EXPECT_EQ(manager.lastError(), QString());
}

TEST_F(FileProviderManagerTest, RegistryThatCannotWriteItsListFailsRegistration) {
    // The list's folder is a file: nothing can be written below it.
    QDir().mkpath(Paths::appDataDir());
    QFile blocker(QFileInfo(Paths::fileProviderDomainsFile()).absolutePath());
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    WaitForTask::run(manager.registerDomain());
    EXPECT_EQ(manager.status().kind(), FileProviderStatus::Kind::failed);
    EXPECT_TRUE(manager.lastError().contains("domains.json")) << manager.lastError().toStdString();
}

TEST_F(FileProviderManagerTest, UnregisterRemovesTheDomainAndKeepsStateOnFailure) {
    WaitForTask::run(manager.registerDomain());
    domains.removeFails = true;
    WaitForTask::run(manager.unregisterDomain());
    EXPECT_EQ(manager.status(), FileProviderStatus::registered());
    EXPECT_EQ(domains.real.domains().size(), 1);

    domains.removeFails = false;
    WaitForTask::run(manager.unregisterDomain());
    EXPECT_EQ(manager.status(), FileProviderStatus::unregistered());
    EXPECT_TRUE(domains.real.domains().isEmpty());
    WaitForTask::run(manager.unregisterDomain()); // removing nothing is no error
    EXPECT_EQ(manager.status(), FileProviderStatus::unregistered());
}

TEST_F(FileProviderManagerTest, RefreshWritesTheClockAsDigitsAndSignalsBothEnumerators) {
    WaitForTask::run(manager.registerDomain());
    manager.refresh();
    EXPECT_EQ(tokenText(), "1700000000500");
    EXPECT_EQ(generation(FileProviderItemIdentifier::kRootContainer), 1);
    EXPECT_EQ(generation(FileProviderItemIdentifier::kWorkingSet), 1);

    clockMs += 1;
    manager.refresh();
    EXPECT_EQ(tokenText(), "1700000000501");
    EXPECT_TRUE(QRegularExpression("^[0-9]+$").match(tokenText()).hasMatch());
    EXPECT_EQ(generation(FileProviderItemIdentifier::kRootContainer), 2);
    EXPECT_EQ(generation(FileProviderItemIdentifier::kWorkingSet), 2);
    EXPECT_EQ(refreshes, 2);
    EXPECT_EQ(QDir(QFileInfo(InvalidationToken::file()).absolutePath())
                  .entryList(QDir::Files | QDir::Hidden),
              QStringList{"invalidation-token.txt"});
}

TEST_F(FileProviderManagerTest, RefreshWithoutADomainOnlyBumpsTheToken) {
    manager.refresh();
    EXPECT_EQ(tokenText(), "1700000000500");
    EXPECT_EQ(generation(FileProviderItemIdentifier::kRootContainer), -1);
    EXPECT_EQ(refreshes, 1);
    EXPECT_EQ(InvalidationToken::read(), "1700000000500");
}

TEST_F(FileProviderManagerTest, BackgroundSyncRefreshesPeriodicallyAndRestartsAsOneTimer) {
    FileProviderManager fast(domains, viewer, FileProviderManager::Options{20ms, {}});
    int count = 0;
    QObject::connect(&fast, &FileProviderManager::refreshed, [&count] { ++count; });
    EXPECT_FALSE(fast.isBackgroundSyncRunning());
    fast.startBackgroundSync();
    fast.startBackgroundSync();
    EXPECT_EQ(count, 0) << "the first periodic refresh comes one interval later";
    EXPECT_TRUE(fast.isBackgroundSyncRunning());
    EXPECT_TRUE(waitUntil([&] { return count >= 3; }));
    EXPECT_NE(InvalidationToken::read(), "initial");
}

TEST_F(FileProviderManagerTest, RevealTargetsRootOrJoinedPiecesInsideTheDomain) {
    manager.reveal("/a"); // no domain yet: nothing happens
    EXPECT_TRUE(viewer.calls.isEmpty());
    WaitForTask::run(manager.registerDomain());
    const QString root = Paths::cloudStorageRoot();
    QDir(root).mkpath("a/b");
    QFile file(root + "/a/doc.txt");
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();

    manager.reveal("/");
    manager.reveal("");
    manager.reveal("/a//b/");
    manager.reveal("a/doc.txt");
    manager.reveal("/a/not-yet-there.txt");
    manager.reveal("/../../etc/./passwd");
    EXPECT_EQ(viewer.calls, (QStringList{"open " + root, "open " + root, "open " + root + "/a/b",
                                         "select " + root + "/a/doc.txt",
                                         "select " + root + "/a/not-yet-there.txt",
                                         "select " + root + "/etc/passwd"}));
}

} // namespace
