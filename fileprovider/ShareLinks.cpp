#include "fileprovider/ShareLinks.h"

#include "fileprovider/FileProviderItem.h"

#include <QUrl>

namespace ShareLinks {

namespace {

// What a URL path may hold besides letters, digits and "-._~"; "/" is not among them, since a
// piece holding one must not split.
const QByteArray kPathPieceCharacters = "!$&'()*+,;=:@";

} // namespace

QString siteBase(QString apiURL) {
    if (apiURL.endsWith(QLatin1String("/api")))
        apiURL.chop(4);
    if (apiURL.endsWith('/'))
        apiURL.chop(1);
    return apiURL;
}

QStringList links(const QString& apiURL, const QStringList& identifiers) {
    const QString base = siteBase(apiURL);
    QStringList result;
    for (const QString& identifier : identifiers) {
        const QString path = FileProviderItem::path(identifier);
        if (path.isEmpty() || path == QLatin1String("/"))
            continue;
        QStringList pieces;
        for (const QString& piece : path.split('/', Qt::SkipEmptyParts))
            pieces.append(
                QString::fromLatin1(QUrl::toPercentEncoding(piece, kPathPieceCharacters)));
        result.append(base + "/open/" + pieces.join('/'));
    }
    return result;
}

} // namespace ShareLinks
