#include "tools/devserver/RequestJournal.h"

#include "tools/devserver/HttpJson.h"

#include <QJsonObject>

void RequestJournal::record(const httplib::Request& request) {
    if (request.path.rfind("/admin", 0) == 0)
        return;
    QJsonObject entry{{"method", QString::fromStdString(request.method)},
                      {"path", QString::fromStdString(request.path)},
                      {"target", QString::fromStdString(request.target)}};
    for (const char* header : {"Range", "Content-Length", "Content-Type"}) {
        if (request.has_header(header))
            entry.insert(QString::fromLatin1(header),
                         QString::fromStdString(request.get_header_value(header)));
    }
    std::lock_guard lock(mutex_);
    entries_.push_back(entry);
    if (entries_.size() > kCapacity)
        entries_.pop_front();
}

QJsonArray RequestJournal::entries() const {
    std::lock_guard lock(mutex_);
    QJsonArray array;
    for (const QJsonObject& entry : entries_)
        array.append(entry);
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
