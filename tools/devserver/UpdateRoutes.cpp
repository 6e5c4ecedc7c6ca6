#include "tools/devserver/UpdateRoutes.h"

#include "tools/devserver/HttpJson.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>

namespace {

const QString kPinnedFeed = QStringLiteral("latest.json");

// The host part of a Host header: "127.0.0.1:8080" → "127.0.0.1", "[::1]:80" → "[::1]".
std::string hostOf(const std::string& header) {
    if (!header.empty() && header.front() == '[') {
        const auto end = header.find(']');
        return end == std::string::npos ? header : header.substr(0, end + 1);
    }
    return header.substr(0, header.find(':'));
}

// Build numbers compare by value when they are numbers, else as text.
bool buildBefore(const QString& a, const QString& b) {
    bool numericA = false, numericB = false;
    const qulonglong na = a.toULongLong(&numericA), nb = b.toULongLong(&numericB);
    if (numericA && numericB)
        return na < nb;
    return a < b;
}

} // namespace

std::optional<UpdateRoutes::Package> UpdateRoutes::newest(const QString& folder) {
    static const QRegularExpression name(
        QStringLiteral("^Kelvane-([^-/]+)-([^-/]+)-linux-amd64\\.tar\\.gz$"));
    std::optional<Package> best;
    for (const QString& file : QDir(folder).entryList({"Kelvane-*.tar.gz"}, QDir::Files)) {
        const auto match = name.match(file);
        if (!match.hasMatch())
            continue;
        const Package p{file, match.captured(1), match.captured(2)};
        if (!best || buildBefore(best->build, p.build))
            best = p;
    }
    return best;
}

std::optional<QByteArray> UpdateRoutes::feed(const std::string& hostHeader, int localPort) const {
    const auto package = newest(folder_);
    if (!package)
        return std::nullopt;
    const int tls = tlsPort_;
    const QString host = QString::fromStdString(hostOf(hostHeader));
    const QString base = tls > 0 ? QStringLiteral("https://%1:%2").arg(host).arg(tls)
                                 : QStringLiteral("http://%1:%2").arg(host).arg(localPort);
    const QDateTime published = QFileInfo(folder_ + '/' + package->name).lastModified().toUTC();
    const QJsonObject o{{"version", package->version},
                        {"build", package->build},
                        {"url", base + "/downloads/" + package->name},
                        {"published", published.toString(Qt::ISODate)}};
    return QJsonDocument(o).toJson(QJsonDocument::Compact);
}

void UpdateRoutes::install(httplib::Server& server) {
    server.Get("/downloads/latest.json", [this](const httplib::Request& rq, httplib::Response& rs) {
        if (QFileInfo(folder_ + '/' + kPinnedFeed).isFile()) {
            files_.serve(kPinnedFeed.toStdString(), rs);
            return;
        }
        const auto body = feed(rq.get_header_value("Host"), rq.local_port);
        if (!body) {
            HttpJson::sendError(rs, 404, "No update package is published");
            return;
        }
        rs.set_content(body->toStdString(), "application/json");
    });
    server.Get(R"(/downloads/(Kelvane-[^/]+\.tar\.gz(\.minisig)?))",
               [this](const httplib::Request& rq, httplib::Response& rs) {
                   files_.serve(rq.matches[1].str(), rs);
               });
}
