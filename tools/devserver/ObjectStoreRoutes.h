#pragma once

#include <QString>
#include <httplib.h>
#include <optional>

class EventHub;
class FaultInjector;
class FilesTree;
class ObjectStore;

// The object store's own addresses, reached only through presigned URLs:
//   PUT /objects/uploads/<id>[?partNumber=N&uploadId=U]  a staged object or one multipart part
//   PUT /objects/files/<server path>                       new contents of a filespace file
//   GET /objects/<key>                                     the object, honouring one Range
// Bodies stream between the socket and the disk. Errors answer with S3's XML error bodies; an
// upload refused before its body is read is read to the end first, so the client, still
// sending, receives the refusal rather than a closed connection.
// /admin/object-store reads and sets the presigned addresses' lifetime.
class ObjectStoreRoutes {
public:
    ObjectStoreRoutes(ObjectStore& store, FilesTree& tree, EventHub& hub, FaultInjector& faults)
        : store_(store), tree_(tree), hub_(hub), faults_(faults) {}

    void install(httplib::Server& server);

    struct Range {
        // whole: no header, a form that is not understood or several ranges, as HTTP allows;
        // unsatisfiable: the range starts at or past the end.
        enum Kind { whole, partial, unsatisfiable } kind = whole;
        qint64 start = 0;
        qint64 length = 0;
    };
    // What a "Range" header asks of an object of `size` bytes.
    static Range rangeOf(const std::string& header, qint64 size);

private:
    void put(const httplib::Request& request, httplib::Response& response,
             const httplib::ContentReader& reader);
    void get(const httplib::Request& request, httplib::Response& response);
    // False (and the refusal answered) when the address is not signed for this request.
    bool authorized(const httplib::Request& request, httplib::Response& response,
                    const QString& key);
    void settings(const httplib::Request& request, httplib::Response& response);

    ObjectStore& store_;
    FilesTree& tree_;
    EventHub& hub_;
    FaultInjector& faults_;
};
