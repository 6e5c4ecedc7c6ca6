#pragma once

#include <QJsonArray>
#include <QJsonObject>
#include <deque>
#include <httplib.h>
#include <mutex>

// What reached the server, in arrival order, for tests and demos to inspect: method, the
// target as sent (path and query) and the transfer headers as soon as a request arrives;
// its "status" and, for small JSON bodies of the files API, the "body" once it has been
// answered.
// GET /admin/requests reads it and DELETE /admin/requests empties it; admin requests are
// not kept.
class RequestJournal {
public:
    static constexpr size_t kCapacity = 20'000;
    static constexpr size_t kMaxKeptBody = 64 * 1024;

    void record(const httplib::Request& request);
    void finish(const httplib::Request& request, const httplib::Response& response);
    QJsonArray entries() const;
    void clear();

    void install(httplib::Server& server);

private:
    struct Entry {
        const httplib::Request* request; // identifies the entry while it is answered
        bool answered = false;
        QJsonObject fields;
    };

    mutable std::mutex mutex_;
    std::deque<Entry> entries_;
};
