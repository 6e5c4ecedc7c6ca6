#include "tools/devserver/RequestJournal.h"

#include "tools/devserver/HttpJson.h"
#include "tools/devserver/RequestGate.h"

namespace {

bool isAdmin(const httplib::Request& request) {
    return request.path.rfind("/admin", 0) == 0;
}

} // namespace

void RequestJournal::record(const httplib::Request& request) {
    if (isAdmin(request))
        return;
    QJsonObject fields{{"method", QString::fromStdString(request.method)},
                       {"path", QString::fromStdString(request.path)},
                       {"target", QString::fromStdString(request.target)}};
    for (const char* header : {"Range", "Content-Length", "Content-Type"}) {
        if (request.has_header(header))
            fields.insert(QString::fromLatin1(header),
                          QString::fromStdString(request.get_header_value(header)));
    }
    std::lock_guard lock(mutex_);
    entries_.push_back({&request, false, fields});
    if (entries_.size() > kCapacity)
        entries_.pop_front();
}

void RequestJournal::finish(const httplib::Request& request, const httplib::Response& response) {
    if (isAdmin(request))
        return;
    std::lock_guard lock(mutex_);
    for (auto it = entries_.rbegin(); it != entries_.rend(); ++it) {
        if (it->answered || it->request != &request)
            continue;
        it->answered = true;
        it->fields.insert("status", response.has_header(RequestGate::kCutMarker)
                                        ? QJsonValue("cut")
                                        : QJsonValue(response.status));
        // Files API bodies only: sign-in bodies hold passwords, which are never kept.
        const bool files = request.path.rfind("/api/files/", 0) == 0;
        const bool json =
            request.get_header_value("Content-Type").rfind("application/json", 0) == 0;
        if (files && json && !request.body.empty() && request.body.size() <= kMaxKeptBody)
            it->fields.insert("body", QString::fromStdString(request.body));
        return;
    }
}

QJsonArray RequestJournal::entries() const {
    std::lock_guard lock(mutex_);
    QJsonArray array;
    for (const Entry& entry : entries_)
        array.append(entry.fields);
    return array;
}

void RequestJournal::clear() {
    std::lock_guard lock(mutex_);
    entries_.clear();
}

void RequestJournal::install(httplib::Server& server) {
    server.Get("/admin/requests", [this](const httplib::Request&, httplib::Response& response) {
        HttpJson::send(response, 200, QJsonObject{{"ok", true}, {"requests", entries()}});
    });
    server.Delete("/admin/requests", [this](const httplib::Request&, httplib::Response& response) {
        clear();
        HttpJson::send(response, 200, QJsonObject{{"ok", true}});
    });
}
