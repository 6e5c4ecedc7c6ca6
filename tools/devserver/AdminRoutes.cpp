#include "tools/devserver/AdminRoutes.h"

#include "tools/devserver/EventHub.h"
#include "tools/devserver/FaultInjector.h"
#include "tools/devserver/FilespaceStore.h"
#include "tools/devserver/HttpJson.h"
#include "tools/devserver/Workspace.h"

#include <QJsonArray>
#include <QJsonDocument>

namespace {

using httplib::Request;
using httplib::Response;

void sendOk(Response& response, const QJsonObject& extra = {}) {
    QJsonObject body = extra;
    body.insert("ok", true);
    HttpJson::send(response, 200, body);
}

// The body as an object, or an error answer already sent.
std::optional<QJsonObject> requireObject(const Request& request, Response& response) {
    auto body = HttpJson::parseObject(request.body);
    if (!body)
        HttpJson::sendError(response, 400, "The body must be a JSON object");
    return body;
}

std::string eventData(const QJsonValue& data) {
    if (data.isString())
        return data.toString().toStdString();
    if (data.isObject())
        return QJsonDocument(data.toObject()).toJson(QJsonDocument::Compact).toStdString();
    if (data.isArray())
        return QJsonDocument(data.toArray()).toJson(QJsonDocument::Compact).toStdString();
    return {};
}

} // namespace

void AdminRoutes::install(httplib::Server& server) {
    server.Post("/admin/faults", [this](const Request& rq, Response& rs) { addFault(rq, rs); });
    server.Get("/admin/faults", [this](const Request&, Response& rs) {
        sendOk(rs, {{"most_held_at_once", faults_.mostHeldAtOnce()}});
    });
    server.Delete("/admin/faults", [this](const Request&, Response& rs) {
        faults_.clear();
        sendOk(rs);
    });
    server.Post("/admin/events", [this](const Request& rq, Response& rs) { emitEvent(rq, rs); });
    server.Post("/admin/close-streams", [this](const Request&, Response& rs) {
        sendOk(rs, {{"closed", hub_.closeAll()}});
    });
    server.Get("/admin/streams", [this](const Request&, Response& rs) {
        sendOk(rs, {{"open", hub_.openCount()}});
    });
    server.Post("/admin/mount-options",
                [this](const Request& rq, Response& rs) { setMountOptions(rq, rs); });
    server.Post("/admin/files", [this](const Request& rq, Response& rs) { writeFile(rq, rs); });
}

void AdminRoutes::addFault(const Request& request, Response& response) {
    const auto body = requireObject(request, response);
    if (!body)
        return;
    QString error;
    const auto rule = FaultRule::fromJson(*body, &error);
    if (!rule) {
        HttpJson::sendError(response, 400, error);
        return;
    }
    faults_.add(*rule);
    sendOk(response);
}

void AdminRoutes::emitEvent(const Request& request, Response& response) {
    const auto body = requireObject(request, response);
    if (!body)
        return;
    const QString event = body->value("event").toString("file-change");
    if (event.isEmpty() || event.contains('\n') || event.contains('\r')) {
        HttpJson::sendError(response, 400, "\"event\" must be a one-line name");
        return;
    }
    const int reached = hub_.publish(event.toStdString(), eventData(body->value("data")));
    sendOk(response, {{"delivered", reached}});
}

void AdminRoutes::setMountOptions(const Request& request, Response& response) {
    const auto body = requireObject(request, response);
    if (!body)
        return;
    QMap<QString, QString> options;
    for (auto it = body->begin(); it != body->end(); ++it) {
        if (!it.value().isString()) {
            HttpJson::sendError(response, 400, "Mount option values must be strings");
            return;
        }
        options.insert(it.key(), it.value().toString());
    }
    workspace_.setMountOptions(options);
    sendOk(response);
}

void AdminRoutes::writeFile(const Request& request, Response& response) {
    const auto body = requireObject(request, response);
    if (!body)
        return;
    const QJsonValue base64 = body->value("content_base64");
    const QByteArray content = base64.isString()
                                   ? QByteArray::fromBase64(base64.toString().toLatin1())
                                   : body->value("content").toString().toUtf8();
    const FilespaceStore::WriteResult result =
        store_.write(body->value("filespace").toString(), body->value("path").toString(), content);
    if (result.status != 200) {
        HttpJson::sendError(response, result.status, result.error);
        return;
    }
    hub_.notifyChange(result.workspacePath);
    sendOk(response, {{"path", result.workspacePath}});
}
