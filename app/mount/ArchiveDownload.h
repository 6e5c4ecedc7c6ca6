#pragma once

#include <QCoroTask>
#include <QUrl>

class QFile;
class QNetworkAccessManager;

namespace ArchiveDownload {

// Streams the body at the URL into the open file. Any HTTP answer counts as a body (its status
// is not examined); a transport failure or a failed write throws TransportError. The manager
// and the file must outlive the task.
QCoro::Task<void> fetch(QNetworkAccessManager& network, QUrl url, QFile& file);

} // namespace ArchiveDownload
