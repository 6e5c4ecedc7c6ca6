#pragma once

#include <QString>
#include <QStringList>
#include <optional>

// The file-manager extension's view of config.json. Nothing is cached: every value is read
// from the file when asked for, so a new server or mount folder counts at the next use. A
// missing or malformed file counts as one without any value.
namespace FinderSyncConfig {

QString configFile();

// "~" alone becomes the home folder, "~/X" the home folder + "/X"; anything else is kept.
QString expandTilde(const QString& path, const QString& realHome);

// "mountBase" with "~" expanded and trailing slashes dropped, or realHome + "/Kelvane" when
// it is absent or empty. A value no drive can be mounted under (the root, a relative path)
// counts as absent.
QString mountBase(const QString& realHome, const QString& file = configFile());
// Every absolute "mountPaths" entry, "~" expanded, in file order.
QStringList mountPaths(const QString& realHome, const QString& file = configFile());
// "apiURL" without trailing slashes and without a final "/api" (and the slashes that stood
// before it); absent when nothing is left.
std::optional<QString> siteURL(const QString& file = configFile());

// The rule siteURL applies to the text of "apiURL".
std::optional<QString> siteFromApiURL(QString apiURL);

} // namespace FinderSyncConfig
