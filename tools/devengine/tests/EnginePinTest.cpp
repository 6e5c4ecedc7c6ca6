#include "mount/EnginePin.h"
#include "tools/devengine/tests/EngineProcess.h"

#include <QCryptographicHash>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

const QString kArchive = QStringLiteral(KELVANE_ENGINE_ARCHIVE);

QByteArray tar(const QStringList& args) {
    QProcess process;
    process.start(QStringLiteral("/usr/bin/tar"), args);
    process.waitForFinished(60000);
    return process.exitCode() == 0 ? process.readAllStandardOutput() : QByteArray("tar failed");
}

} // namespace

TEST(EnginePinTest, NamesTheReleaseTheClientInstalls) {
    EXPECT_STREQ(EnginePin::kVersion, "1.3.1");
    EXPECT_EQ(QString::fromLatin1(EnginePin::kArchiveName), QFileInfo(kArchive).fileName());
    EXPECT_TRUE(QByteArray(EnginePin::kArchiveName).startsWith("juicefs-1.3.1-"));
    EXPECT_EQ(QString::fromLatin1(EnginePin::kDownloadPath),
              QStringLiteral("/downloads/") + EnginePin::kArchiveName);
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^[0-9a-f]{64}$"))
                    .match(QString::fromLatin1(EnginePin::kSha256))
                    .hasMatch())
        << EnginePin::kSha256;
}

TEST(EnginePinTest, PinsTheSha256OfTheBuiltArchive) {
    if (KELVANE_ENGINE_PIN_OVERRIDDEN)
        GTEST_SKIP() << "this build pins a release archive, not the dev engine";
    QFile archive(kArchive);
    ASSERT_TRUE(archive.open(QIODevice::ReadOnly)) << kArchive.toStdString();
    EXPECT_EQ(QCryptographicHash::hash(archive.readAll(), QCryptographicHash::Sha256).toHex(),
              QByteArray(EnginePin::kSha256));
}

TEST(EnginePinTest, TheArchiveHoldsOneRunnableJuicefs) {
    EXPECT_EQ(tar({"-tzf", kArchive}), "juicefs\n");
    QTemporaryDir scratch;
    ASSERT_NE(tar({"-xzf", kArchive, "-C", scratch.path()}), "tar failed");
    QProcess engine;
    engine.start(scratch.filePath("juicefs"), {"version"});
    ASSERT_TRUE(engine.waitForFinished(60000));
    EXPECT_TRUE(engine.readAllStandardOutput().contains("1.3.1"));
}
