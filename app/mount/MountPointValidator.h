#pragma once

#include <QString>

// Rules for where a drive may be mounted and how its folders are named.
namespace MountPointValidator {

// Blanks trimmed from both ends, then every "/" from both ends, one "/" put in front; "." and
// ".." steps and doubled slashes are resolved so they cannot hide a root.
QString normalised(const QString& path);

// The path as an absolute one with "." and ".." steps and doubled slashes resolved by text
// alone; ".." above the root stays at the root (unlike QDir::cleanPath, which keeps "/..").
QString cleanAbsolute(const QString& path);

// Throws MountError::mountPointIsSystemRoot for "/" and MountError::mountPointIsVolumeRoot for
// the top folder of a volume: a folder directly inside /Volumes, /mnt or /media, or directly
// inside a user's folder under /media or /run/media.
void validate(const QString& path);

// The folder drives are mounted in: after trimming blanks it must start with "/" (a relative
// path would depend on the working folder) and must not normalise to "/". Throws MountError.
void validateBase(const QString& base);

// Whether the text is one usable folder name: not empty, no "/", not "." or "..", no NUL.
bool isSingleFolderName(const QString& name);

// base + "/" + name, without doubling the slash after a base that ends in one. Throws
// MountError::unsafeServerValue when the name is not a single folder name.
QString child(const QString& base, const QString& name);

} // namespace MountPointValidator
