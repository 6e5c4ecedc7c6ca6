#include "app/mount/MountPointValidator.h"
#include "app/mount/MountError.h"
#include "app/mount/MountManager.h"

#include <gtest/gtest.h>

namespace {

// The error validateMountPoint throws for the path, or nothing when it is accepted.
std::optional<MountError> rejection(const QString& path) {
    try {
        MountManager::validateMountPoint(path);
        return std::nullopt;
    } catch (const MountError& e) {
        return e;
    }
}

TEST(MountPointValidator, SystemRootIsRefusedHoweverItIsWritten) {
    for (const QString path : {"/", "  //  ", "///", "/home/..", "/./", " /tmp/../.. "}) {
        const auto error = rejection(path);
        ASSERT_TRUE(error.has_value()) << path.toStdString();
        EXPECT_EQ(error->kind(), MountError::Kind::mountPointIsSystemRoot) << path.toStdString();
        EXPECT_EQ(error->description(), "Mount point cannot be the system root (/). Pick a folder "
                                        "inside your home or a drive.");
    }
}

TEST(MountPointValidator, VolumeRootsAreRefusedWithTheNormalisedPath) {
    for (const QString path : {"/Volumes/Team", "/mnt/Team", "/media/Team", "/media/ann/USB",
                               "/run/media/ann/USB", " //mnt/Team/ ", "/mnt/x/../Team"}) {
        const auto error = rejection(path);
        ASSERT_TRUE(error.has_value()) << path.toStdString();
        EXPECT_EQ(error->kind(), MountError::Kind::mountPointIsVolumeRoot) << path.toStdString();
    }
    EXPECT_EQ(rejection(" //Volumes/Team/ ")->description(),
              "Mount point cannot be the root of a volume (/Volumes/Team). Pick a folder inside "
              "the drive, e.g. /Volumes/Team/Kelvane.");
}

TEST(MountPointValidator, FoldersInsideAVolumeOrHomeAreAccepted) {
    for (const QString path :
         {"/Volumes/Fast/Team", "/mnt/disk/Kelvane", "/media/ann/USB/Team",
          "/run/media/ann/USB/Team", "/run/media/ann", "/home/ann/Kelvane", "/Volumes", "/mnt"})
        EXPECT_FALSE(rejection(path).has_value()) << path.toStdString();
}

TEST(MountPointValidator, NormalisationTrimsBlanksButNotLineBreaks) {
    EXPECT_EQ(MountPointValidator::normalised("  //home/ann/Kelvane/  "), "/home/ann/Kelvane");
    EXPECT_EQ(MountPointValidator::normalised("\t/a//b/./c/"), "/a/b/c");
    EXPECT_EQ(MountPointValidator::normalised("/home/ann\n"), "/home/ann\n");
    EXPECT_EQ(MountPointValidator::normalised("/../x/.."), "/");
    EXPECT_EQ(MountPointValidator::normalised("/a/../../b"), "/b");
}

TEST(MountPointValidator, ChildFolderNamesMustBeOneFolder) {
    EXPECT_EQ(MountPointValidator::child("/home/ann/Kelvane", "Team"), "/home/ann/Kelvane/Team");
    EXPECT_EQ(MountPointValidator::child("/home/ann/Kelvane//", "Team"), "/home/ann/Kelvane/Team");
    EXPECT_EQ(MountPointValidator::child("/", "Team"), "/Team");
    for (const QString name : {"", ".", "..", "../etc", "a/b", "/abs"}) {
        try {
            MountPointValidator::child("/home/ann/Kelvane", name);
            ADD_FAILURE() << "accepted " << name.toStdString();
        } catch (const MountError& e) {
            EXPECT_EQ(e.kind(), MountError::Kind::unsafeServerValue);
        }
    }
}

} // namespace
