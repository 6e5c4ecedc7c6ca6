#pragma once

#include <QCoroTask>
#include <QString>
#include <QUrl>

class QNetworkAccessManager;

// Fetches a file of the update to a given place in the temporary folder, streamed to disk.
namespace PackageDownload {

enum class Outcome { saved, notOK, tooLarge };

// Saves the body of a 200 answer at destination (replacing what is there) and returns saved;
// any other answer, or a body beyond maxBytes, leaves nothing behind and returns notOK or
// tooLarge. Redirects are followed as Qt does by default (never down to plain http). Throws
// TransportError when the transfer or the file fails.
QCoro::Task<Outcome> fetch(QNetworkAccessManager& network, QUrl url, QString destination,
                           qint64 maxBytes);

} // namespace PackageDownload
