#pragma once

#include <QJsonObject>
#include <QString>
#include <httplib.h>

class EventHub;
class FilesTree;
class ObjectStore;

// The files API under /api: listing and deleting (/files?path=), presigned transfers, direct
// and multipart uploads with their import, folders and moves. Paths are server paths ("/"
// lists the filespaces); refusals answer 4xx with a plain-text body; every change emits a
// file-change event.
class FilesRoutes {
public:
    FilesRoutes(FilesTree& tree, ObjectStore& store, EventHub& hub)
        : tree_(tree), store_(store), hub_(hub) {}

    void install(httplib::Server& server);

    // The address clients reached this server by, for presigned URLs.
    static QString publicBase(const httplib::Request& request);

private:
    using Handler = QJsonObject (FilesRoutes::*)(const httplib::Request&, const QJsonObject&);
    // Runs a JSON-bodied endpoint: the body must be an object; refusals become text answers.
    void post(const httplib::Request& request, httplib::Response& response, Handler handler,
              int successStatus = 200);

    void list(const httplib::Request& request, httplib::Response& response);
    void remove(const httplib::Request& request, httplib::Response& response);
    QJsonObject presignDownload(const httplib::Request& request, const QJsonObject& body);
    QJsonObject presignUpload(const httplib::Request& request, const QJsonObject& body);
    QJsonObject directPresignUpload(const httplib::Request& request, const QJsonObject& body);
    QJsonObject notify(const httplib::Request& request, const QJsonObject& body);
    QJsonObject multipartInit(const httplib::Request& request, const QJsonObject& body);
    QJsonObject multipartPartURL(const httplib::Request& request, const QJsonObject& body);
    QJsonObject multipartComplete(const httplib::Request& request, const QJsonObject& body);
    QJsonObject multipartAbort(const httplib::Request& request, const QJsonObject& body);
    QJsonObject directImport(const httplib::Request& request, const QJsonObject& body);
    QJsonObject makeFolder(const httplib::Request& request, const QJsonObject& body);
    QJsonObject move(const httplib::Request& request, const QJsonObject& body);

    FilesTree& tree_;
    ObjectStore& store_;
    EventHub& hub_;
};
