#include "tools/devserver/DownloadRoutes.h"

#include "tools/devserver/HttpJson.h"

#include <QFile>
#include <QFileInfo>
#include <memory>

namespace {

constexpr qint64 kChunkBytes = 64 * 1024;

std::string contentTypeFor(const std::string& name) {
    const auto endsWith = [&name](const std::string& suffix) {
        return name.size() >= suffix.size() &&
               name.compare(name.size() - suffix.size(), suffix.size(), suffix) == 0;
    };
    if (endsWith(".json"))
        return "application/json";
    if (endsWith(".gz") || endsWith(".tgz"))
        return "application/gzip";
    if (endsWith(".txt") || endsWith(".minisig"))
        return "text/plain";
    return "application/octet-stream";
}

} // namespace

void DownloadRoutes::install(httplib::Server& server) {
    server.Get("/downloads/(.*)",
               [this](const httplib::Request& request, httplib::Response& response) {
                   serve(request.matches[1].str(), response);
               });
}

bool DownloadRoutes::isPlainName(const std::string& name) {
    return !name.empty() && name.find('/') == std::string::npos &&
           name.find("..") == std::string::npos && name.find('\0') == std::string::npos;
}

void DownloadRoutes::serve(const std::string& name, httplib::Response& response) const {
    if (!isPlainName(name)) {
        HttpJson::sendError(response, 400, "Invalid file name");
        return;
    }
    auto file = std::make_shared<QFile>(folder_ + "/" + QString::fromStdString(name));
    if (!QFileInfo(file->fileName()).isFile() || !file->open(QIODevice::ReadOnly)) {
        HttpJson::sendError(response, 404, "Not found");
        return;
    }
    response.set_content_provider(
        static_cast<size_t>(file->size()), contentTypeFor(name),
        [file](size_t offset, size_t length, httplib::DataSink& sink) {
            if (!file->seek(static_cast<qint64>(offset)))
                return false;
            const QByteArray chunk = file->read(std::min<qint64>(qint64(length), kChunkBytes));
            return !chunk.isEmpty() && sink.write(chunk.constData(), size_t(chunk.size()));
        });
}
