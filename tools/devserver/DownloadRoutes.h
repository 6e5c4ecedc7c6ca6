#pragma once

#include <QString>
#include <httplib.h>

// GET /downloads/<name>: files of the downloads folder, such as the engine archive and the
// update feed. No sub-folders: a name holding "/" or ".." is refused.
class DownloadRoutes {
public:
    explicit DownloadRoutes(const QString& folder) : folder_(folder) {}

    void install(httplib::Server& server);

    static bool isPlainName(const std::string& name);
    // Streams the named file of the folder, or answers 400 / 404.
    void serve(const std::string& name, httplib::Response& response) const;

private:
    const QString folder_;
};
