#pragma once

#include <QString>
#include <QStringList>
#include <optional>

// The file-manager extension's view of config.json. Nothing is cached: every value is read
// from the file when asked for.
namespace FinderSyncConfig {

QString configFile();

// "mountBase" with "~" expanded, or the home folder + "/Kelvane".
QString mountBase(const QString& file = configFile());
// Every "mountPaths" entry with "~" expanded.
QStringList mountPaths(const QString& file = configFile());
// "apiURL" without trailing slashes and without a final "/api"; absent when empty.
std::optional<QString> siteURL(const QString& file = configFile());

QString expandTilde(const QString& path);

} // namespace FinderSyncConfig
