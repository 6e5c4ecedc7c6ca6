#include "app/settings/SharedConfig.h"
#include "platform/AtomicFile.h"
#include "platform/Paths.h"
#include "shared/Identifiers.h"
#include "tests/support/FileMode.h"
#include "tests/support/TestHome.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <gtest/gtest.h>

namespace {

QByteArray contentOf(const QString& file) {
    QFile f(file);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

const QString& providerFile() {
    static const QString f = "/.var/app/com.30814qv.kelvane.fileprovider/data/Kelvane/config.json";
    return f;
}

} // namespace

TEST(SharedConfig, WritesBothContainersOwnerOnly) {
    TestHome home;
    SharedConfig::publish(QString("http://h/api"), QString("tok"), QString("/m"), std::nullopt);
    const QStringList files = SharedConfig::configFiles();
    ASSERT_EQ(files.size(), 2);
    EXPECT_EQ(files[0], home.path() + providerFile());
    EXPECT_TRUE(files[1].endsWith("com.30814qv.kelvane.findersync/data/Kelvane/config.json"));
    for (const QString& f : files) {
        EXPECT_EQ(modeOf(f), kOwnerReadWrite);
        EXPECT_EQ(contentOf(f), contentOf(files[0]));
    }
    const SharedConfigPayload p = SharedConfig::current();
    EXPECT_EQ(p.apiURL, "http://h/api");
    EXPECT_EQ(p.token, "tok");
    EXPECT_EQ(p.mountBase, "/m");
    EXPECT_FALSE(p.mountPaths);
}

TEST(SharedConfig, PublishMergesAndNeverRemoves) {
    TestHome home;
    SharedConfig::publish(std::nullopt, std::nullopt, std::nullopt, std::nullopt);
    EXPECT_EQ(SharedConfigPayload::fromJson(contentOf(SharedConfig::configFiles()[1])),
              SharedConfigPayload{});

    SharedConfig::publish(QString("http://h/api"), QString("tok"), QString("/m"),
                          QStringList{"/m/Team"});
    SharedConfig::publish(QString(""), std::nullopt, QString(""), QStringList{});
    SharedConfigPayload p = SharedConfig::current();
    EXPECT_EQ(p.apiURL, "http://h/api");
    EXPECT_EQ(p.mountBase, "/m");
    EXPECT_EQ(p.mountPaths, QStringList{"/m/Team"});

    SharedConfig::setToken(std::nullopt);
    p = SharedConfig::current();
    EXPECT_FALSE(p.token);
    EXPECT_EQ(p.apiURL, "http://h/api");
    EXPECT_FALSE(contentOf(SharedConfig::configFiles()[0]).contains("token"));
    SharedConfig::setApiURL(QString("http://other/api"));
    EXPECT_EQ(SharedConfig::current().apiURL, "http://other/api");
}

TEST(SharedConfig, CorruptFirstFileIsSkippedThenReplaced) {
    TestHome home;
    SharedConfig::publish(QString("http://h/api"), QString("tok"), std::nullopt, std::nullopt);
    const QStringList files = SharedConfig::configFiles();
    ASSERT_TRUE(AtomicFile::write(files[0], "{\"apiURL\": 42"));
    EXPECT_EQ(SharedConfig::current().token, "tok");

    SharedConfig::publish(std::nullopt, std::nullopt, QString("/m"), std::nullopt);
    const auto first = SharedConfigPayload::load(files[0]);
    ASSERT_TRUE(first);
    EXPECT_EQ(first->token, "tok");
    EXPECT_EQ(first->mountBase, "/m");

    // Both corrupt: the next write starts from nothing.
    ASSERT_TRUE(AtomicFile::write(files[0], "garbage"));
    ASSERT_TRUE(AtomicFile::write(files[1], "garbage"));
    SharedConfig::publish(std::nullopt, std::nullopt, QString("/n"), std::nullopt);
    EXPECT_EQ(*SharedConfigPayload::load(files[1]),
              (SharedConfigPayload{{}, {}, QString("/n"), {}}));
}

TEST(SharedConfig, AFileThatCannotBeWrittenIsNamedAndTheOtherIsStillWritten) {
    TestHome home;
    const QStringList files = SharedConfig::configFiles();
    // A folder where the first file should be stops root as well as anyone.
    ASSERT_TRUE(QDir().mkpath(files[0]));
    const std::optional<WriteError> failure = SharedConfig::setToken(QString("tok"));
    ASSERT_TRUE(failure);
    EXPECT_EQ(failure->place(), files[0]);
    EXPECT_EQ(SharedConfigPayload::load(files[1])->token, "tok");
    EXPECT_TRUE(SharedConfig::publish(std::nullopt, std::nullopt, QString("/m"), std::nullopt));
}

TEST(SharedConfig, ASnapshotPutsBackEachFileAsItWas) {
    TestHome home;
    ASSERT_FALSE(SharedConfig::setApiURL(QString("http://old/api")));
    const QStringList files = SharedConfig::configFiles();
    ASSERT_TRUE(QFile::remove(files[1]));
    const SharedConfig::Snapshot before = SharedConfig::snapshot();

    ASSERT_FALSE(SharedConfig::publish(QString("http://new/api"), QString("tok"), std::nullopt,
                                       std::nullopt));
    EXPECT_FALSE(SharedConfig::restore(before));
    EXPECT_EQ(SharedConfigPayload::load(files[0])->apiURL, "http://old/api");
    EXPECT_FALSE(SharedConfigPayload::load(files[0])->token);
    EXPECT_FALSE(QFile::exists(files[1])) << "a file that did not exist is not left behind";
    EXPECT_FALSE(SharedConfig::restore(before)) << "nothing to do is no failure";
}
