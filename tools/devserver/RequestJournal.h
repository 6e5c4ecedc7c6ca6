#pragma once

#include <QJsonArray>
#include <deque>
#include <httplib.h>
#include <mutex>

// What reached the server, in arrival order, for tests and demos to inspect: method, the
// target as sent (path and query) and the transfer headers. /admin/requests reads it and
// DELETE /admin/requests empties it; admin requests themselves are not kept.
class RequestJournal {
public:
    static constexpr size_t kCapacity = 20'000;

    void record(const httplib::Request& request);
    QJsonArray entries() const;
    void clear();

    void install(httplib::Server& server);

private:
    mutable std::mutex mutex_;
    std::deque<QJsonObject> entries_;
};
