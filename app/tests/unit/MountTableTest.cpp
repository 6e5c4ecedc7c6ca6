#include "platform/MountTable.h"
#include "tests/support/TestHome.h"

#include <QDir>
#include <QFile>
#include <gtest/gtest.h>

namespace {

using MountTable::Entry;

const QByteArray kMountinfo =
    "22 27 0:21 / /proc rw,relatime shared:5 - proc proc rw\n"
    "27 1 254:0 / / rw,relatime - ext4 /dev/vda rw,discard\n"
    "61 27 0:52 / /home/ann/Kelvane/Team\\040Drive rw,nosuid,nodev,relatime shared:300 master:1 "
    "- fuse.juicefs JuiceFS:team rw,user_id=1000,group_id=1000\n"
    "62 27 0:53 / /home/ann/tab\\011and\\134slash rw - fuse.sshfs ann@host:/ rw\n"
    "this line is not a mount\n"
    "63 27 0:54 / /srv/stack rw - fuse.juicefs JuiceFS:old rw\n"
    "64 63 0:55 / /srv/stack rw - tmpfs tmpfs rw\n";

TEST(MountTable, ParsesFieldsAndDecodesOctalEscapes) {
    const QList<Entry> entries = MountTable::parse(kMountinfo);
    ASSERT_EQ(entries.size(), 6);
    EXPECT_EQ(entries[2], (Entry{"/home/ann/Kelvane/Team Drive", "fuse.juicefs", "JuiceFS:team"}));
    EXPECT_EQ(entries[3].mountPoint, "/home/ann/tab\tand\\slash");
    EXPECT_EQ(entries[3].fsType, "fuse.sshfs");
}

TEST(MountTable, TheLastMountStackedOnAPathIsTheVisibleOne) {
    const QList<Entry> entries = MountTable::parse(kMountinfo);
    const auto entry = MountTable::find(entries, "/srv/stack");
    ASSERT_TRUE(entry.has_value());
    EXPECT_EQ(entry->fsType, "tmpfs");
    EXPECT_FALSE(MountTable::isJuicefsMounted("/srv/stack", entries));
    EXPECT_FALSE(MountTable::find(entries, "/srv/stack/inner").has_value());
}

TEST(MountTable, OnlyAnEngineMountCounts) {
    const QList<Entry> entries = MountTable::parse(kMountinfo);
    EXPECT_TRUE(MountTable::isJuicefsMounted("/home/ann/Kelvane/Team Drive", entries));
    // Another FUSE file system, a disk, and a folder without a mount.
    EXPECT_FALSE(MountTable::isJuicefsMounted("/home/ann/tab\tand\\slash", entries));
    EXPECT_FALSE(MountTable::isJuicefsMounted("/", entries));
    EXPECT_FALSE(MountTable::isJuicefsMounted("/home/ann/Kelvane", entries));
}

TEST(MountTable, PathsAreComparedInTheFormTheKernelReports) {
    TestHome home;
    QDir().mkpath(home.file("real/base"));
    ASSERT_TRUE(QFile::link(home.file("real/base"), home.file("link")));
    const QString kernelForm = QDir(home.file("real/base")).canonicalPath() + "/Team";
    const QList<Entry> entries{{kernelForm, "fuse.juicefs", "JuiceFS:team"}};

    EXPECT_EQ(MountTable::kernelPath(home.file("link/Team")), kernelForm);
    EXPECT_TRUE(MountTable::isJuicefsMounted(home.file("link/Team"), entries));
    EXPECT_TRUE(MountTable::isJuicefsMounted(home.file("real//base/Team/"), entries));
    EXPECT_EQ(MountTable::kernelPath("/"), "/");
    EXPECT_EQ(MountTable::kernelPath("/no/such/folder/x"), "/no/such/folder/x");
}

TEST(MountTable, ReadsThisProcessTable) {
    const QList<Entry> entries = MountTable::read();
    ASSERT_FALSE(entries.isEmpty());
    EXPECT_TRUE(MountTable::find(entries, "/").has_value());
    EXPECT_TRUE(MountTable::read("/no/such/mountinfo").isEmpty());
}

} // namespace
