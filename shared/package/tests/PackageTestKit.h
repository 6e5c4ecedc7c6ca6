#pragma once

#include "shared/package/BundleVersion.h"
#include "shared/package/PackageCrypto.h"
#include "shared/package/TarGzWriter.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QString>
#include <functional>
#include <gtest/gtest.h>

// Small bundles, files and archives for the package format's tests.
namespace PackageTestKit {

inline void writeFile(const QString& path, const QByteArray& content,
                      QFileDevice::Permissions mode = QFileDevice::ReadOwner |
                                                      QFileDevice::WriteOwner |
                                                      QFileDevice::ReadGroup |
                                                      QFileDevice::ReadOther) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate)) << path.toStdString();
    ASSERT_EQ(f.write(content), content.size());
    f.close();
    ASSERT_TRUE(QFile::setPermissions(path, mode));
}

inline constexpr QFileDevice::Permissions kExecutable =
    QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner |
    QFileDevice::ReadGroup | QFileDevice::ExeGroup | QFileDevice::ReadOther | QFileDevice::ExeOther;

// A bundle with a version file, a program and a data file.
inline void makeBundle(const QString& bundle, const QString& build = "7") {
    QDir().mkpath(bundle);
    ASSERT_TRUE((BundleVersion{"1.2.3", build}.write(bundle)));
    writeFile(bundle + "/bin/kelvane", "#!/bin/sh\necho kelvane\n", kExecutable);
    writeFile(bundle + "/share/kelvane/readme.txt", "hello\n");
}

// A .tar.gz written entry by entry.
inline QString archive(const QString& path, const std::function<void(TarGzWriter&)>& entries) {
    TarGzWriter tar;
    QString error;
    EXPECT_TRUE(tar.open(path, &error)) << error.toStdString();
    entries(tar);
    EXPECT_TRUE(tar.finish(&error)) << error.toStdString();
    return path;
}

inline QByteArray readAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

struct ToolRun {
    int exitCode = -1;
    QString output;
};

// A program run to its end (30 s at most), its standard output and error together.
inline ToolRun run(const QString& program, const QStringList& arguments) {
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(program, arguments);
    p.closeWriteChannel();
    if (!p.waitForFinished(30'000))
        p.kill();
    p.waitForFinished();
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1,
            QString::fromUtf8(p.readAll())};
}

} // namespace PackageTestKit
