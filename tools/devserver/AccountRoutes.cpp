#include "tools/devserver/AccountRoutes.h"

#include "tools/devserver/FilespaceStore.h"
#include "tools/devserver/HttpJson.h"
#include "tools/devserver/Workspace.h"

#include <QJsonArray>

void AccountRoutes::install(httplib::Server& server) {
    using httplib::Request;
    using httplib::Response;
    server.Post("/api/auth/login", [this](const Request& rq, Response& rs) { login(rq, rs); });
    server.Get("/api/auth/me", [this](const Request& rq, Response& rs) { me(rq, rs); });
    server.Get("/api/filespaces", [this](const Request&, Response& rs) { filespaces(rs); });
    server.Get("/api/provision/config",
               [this](const Request&, Response& rs) { provisionConfig(rs); });
    server.Get("/api/files/storage", [this](const Request&, Response& rs) { storage(rs); });
}

void AccountRoutes::login(const httplib::Request& request, httplib::Response& response) {
    const auto body = HttpJson::parseObject(request.body);
    if (!body) {
        HttpJson::sendError(response, 400, "The body must be a JSON object");
        return;
    }
    const QJsonValue email = body->value("email");
    const QJsonValue password = body->value("password");
    if (!email.isString() || !password.isString()) {
        HttpJson::sendError(response, 400, "\"email\" and \"password\" are required strings");
        return;
    }
    const auto session = workspace_.login(email.toString(), password.toString());
    if (!session) {
        HttpJson::sendError(response, 401, "Invalid email or password");
        return;
    }
    HttpJson::send(
        response, 200,
        QJsonObject{{"token", session->first}, {"user", session->second.toPublicJson()}});
}

void AccountRoutes::me(const httplib::Request& request, httplib::Response& response) const {
    const auto user = workspace_.userForToken(HttpJson::bearerToken(request));
    if (!user) {
        HttpJson::sendError(response, 401, "Unauthorized");
        return;
    }
    HttpJson::send(response, 200, user->toPublicJson());
}

void AccountRoutes::filespaces(httplib::Response& response) const {
    QJsonArray list;
    for (const FilespaceRecord& filespace : workspace_.filespaces()) {
        list.append(QJsonObject{
            {"id", filespace.id},
            {"name", filespace.name},
            {"metadata_public_url", workspace_.filespaceMetadataURL(filespace.mountName)},
            {"volume_name", filespace.volumeName},
            {"mount_name", filespace.mountName}});
    }
    HttpJson::send(response, 200, list);
}

void AccountRoutes::provisionConfig(httplib::Response& response) const {
    QJsonObject options;
    const QMap<QString, QString> stored = workspace_.mountOptions();
    for (auto it = stored.begin(); it != stored.end(); ++it)
        options.insert(it.key(), it.value());
    HttpJson::send(response, 200,
                   QJsonObject{{"metadata_public_url", workspace_.serverMetadataURL()},
                               {"mount_options", options}});
}

void AccountRoutes::storage(httplib::Response& response) const {
    const StorageTotals totals = store_.totals();
    HttpJson::send(response, 200,
                   QJsonObject{{"used_bytes", totals.usedBytes},
                               {"file_count", totals.fileCount},
                               {"dir_count", totals.dirCount}});
}
