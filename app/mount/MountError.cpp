#include "app/mount/MountError.h"

QString MountError::description() const {
    switch (kind_) {
    case Kind::juicefsDownloadFailed:
        return QStringLiteral("Couldn't download JuiceFS (%1). Check your internet connection and "
                              "try again.")
            .arg(payload_);
    case Kind::mountPointIsVolumeRoot:
        return QStringLiteral("Mount point cannot be the root of a volume (%1). Pick a folder "
                              "inside the drive, e.g. %1/Kelvane.")
            .arg(payload_);
    case Kind::missingJuicefs:
        return QStringLiteral("JuiceFS isn't installed yet. Reopen Kelvane to let it finish "
                              "setting up, or check your internet connection.");
    case Kind::missingFUSE:
        return QStringLiteral("FUSE is required for the Kelvane drive. Install the fuse3 package "
                              "(for example: sudo apt install fuse3), then click Mount again.");
    case Kind::mountPointIsSystemRoot:
        return QStringLiteral("Mount point cannot be the system root (/). Pick a folder inside "
                              "your home or a drive.");
    case Kind::mountPointNotAbsolute:
        return QStringLiteral("Mount point must be a full path starting with / (%1). Pick a "
                              "folder inside your home or a drive.")
            .arg(payload_);
    case Kind::mountNameClash: {
        const qsizetype bar = payload_.lastIndexOf(QLatin1Char('|'));
        return QStringLiteral("Another filespace (%1) already uses the folder name \"%2\". Ask "
                              "your workspace admin to give each filespace its own name.")
            .arg(payload_.mid(bar + 1), payload_.left(bar));
    }
    case Kind::unsafeServerValue:
        return QStringLiteral("The server sent a filespace setting Kelvane can't use safely (%1). "
                              "Ask your workspace admin to check the filespace.")
            .arg(payload_);
    }
    return {};
}
