#pragma once

#include <QString>
#include <QStringList>

// Web links to items: the server's address without a final "/api" (then without a final
// "/"), "/open/", and the item's path with each piece percent-encoded on its own.
namespace ShareLinks {

QString siteBase(QString apiURL);
// One link per identifier, the root and empty paths skipped.
QStringList links(const QString& apiURL, const QStringList& identifiers);

} // namespace ShareLinks
