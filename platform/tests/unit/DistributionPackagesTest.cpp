#include "platform/DistributionPackages.h"
#include "platform/DesktopColorScheme.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {
QString osRelease(QTemporaryDir& dir, const QByteArray& text) {
    const QString path = dir.filePath("os-release");
    QFile file(path);
    file.open(QIODevice::WriteOnly);
    file.write(text);
    return path;
}
const QString kUpstream = QStringLiteral("https://github.com/libfuse/libfuse");
} // namespace

TEST(DistributionPackages, PackagePageOfTheDistributionOrTheOneItDerivesFrom) {
    QTemporaryDir dir;
    using DistributionPackages::helpPage;
    EXPECT_EQ(
        helpPage("fuse3", kUpstream,
                 osRelease(dir, "PRETTY_NAME=\"Debian GNU/Linux 12 (bookworm)\"\nID=debian\n")),
        QUrl("https://packages.debian.org/stable/fuse3"));
    EXPECT_EQ(
        helpPage("fuse3", kUpstream, osRelease(dir, "ID=linuxmint\nID_LIKE=\"ubuntu debian\"\n")),
        QUrl("https://packages.ubuntu.com/fuse3"));
    EXPECT_EQ(helpPage("fuse3", kUpstream, osRelease(dir, "ID=\"fedora\"\n")),
              QUrl("https://packages.fedoraproject.org/pkgs/fuse3/"));
    EXPECT_EQ(helpPage("fuse3", kUpstream, osRelease(dir, "ID=opensuse-tumbleweed\n")),
              QUrl("https://software.opensuse.org/package/fuse3"));
    EXPECT_EQ(helpPage("fuse3", kUpstream, osRelease(dir, "ID=plan9\n")), QUrl(kUpstream));
    EXPECT_EQ(helpPage("fuse3", kUpstream, dir.filePath("missing")), QUrl(kUpstream));
}

TEST(DesktopColorScheme, PortalValuesMeanDarkLightOrNoPreference) {
    EXPECT_EQ(DesktopColorScheme::fromPortalValue(1), true);
    EXPECT_EQ(DesktopColorScheme::fromPortalValue(2), false);
    EXPECT_EQ(DesktopColorScheme::fromPortalValue(0), std::nullopt);
    EXPECT_EQ(DesktopColorScheme::fromPortalValue(7), std::nullopt);
}
