#pragma once

#include <QFileInfo>

// The permission bits of a file as owner/group/other flags, without Qt's "current user" bits.
inline QFileDevice::Permissions modeOf(const QString& path) {
    constexpr auto kUgo = QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner |
                          QFileDevice::ReadGroup | QFileDevice::WriteGroup | QFileDevice::ExeGroup |
                          QFileDevice::ReadOther | QFileDevice::WriteOther | QFileDevice::ExeOther;
    return QFileInfo(path).permissions() & kUgo;
}

inline constexpr QFileDevice::Permissions kOwnerReadWrite =
    QFileDevice::ReadOwner | QFileDevice::WriteOwner;
