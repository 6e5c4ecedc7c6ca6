#pragma once

#include "app/update/UpdateState.h"

#include <QCoroTask>
#include <QUrl>
#include <chrono>
#include <optional>

class QNetworkAccessManager;

// The workspace server's update feed, "/downloads/latest.json".
namespace UpdateFeed {

// A feed is a few hundred bytes; a body past this is not one.
inline constexpr qint64 kMaxBodyBytes = 1 << 20;

// The server address the feed hangs off: the site address, else the stored API address,
// trimmed, without trailing "/" and then without one trailing "/api". Empty: no feed.
QString base(const std::optional<QString>& siteURL, const std::optional<QString>& storedApiURL);
// The feed's address for a base; nothing when the base is empty or does not form an absolute
// URL.
std::optional<QUrl> feedURL(const QString& base);

// The release a feed body describes, checked against the feed's address: build and url
// present, url https and on the feed's host. Throws DecodingError for a body that does not
// decode, UpdateError (badResponse, untrustedURL) for one that fails a check.
UpdateRelease releaseFrom(const QByteArray& body, const QUrl& feedURL);

// GETs the feed (never from a cache, redirects only to the same host) and returns its
// release. Throws TransportError, UpdateError(badResponse) for any answer but a 200 with a
// body of at most kMaxBodyBytes, and what releaseFrom throws.
QCoro::Task<UpdateRelease> fetch(QNetworkAccessManager& network, QUrl url,
                                 std::chrono::milliseconds timeout);

} // namespace UpdateFeed
