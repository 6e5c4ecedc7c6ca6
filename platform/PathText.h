#pragma once

#include <QString>

// Paths handled as text only, never touching the file system.
namespace PathText {

// The path as an absolute one with "." and ".." steps and doubled slashes resolved by text
// alone; ".." above the root stays at the root (unlike QDir::cleanPath, which keeps "/..").
QString cleanAbsolute(const QString& path);

} // namespace PathText
