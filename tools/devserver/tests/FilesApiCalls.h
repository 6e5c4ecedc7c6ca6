#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QString>
#include <httplib.h>
#include <map>

// Plain HTTP calls to the files API and to presigned object addresses, exactly as written:
// no client logic of the extension in between.
class FilesApiCalls {
public:
    struct Answer {
        int status = 0; // 0: no answer
        QByteArray body;
        httplib::Headers headers;

        QJsonObject object() const;
        QString header(const char* name) const;
    };

    FilesApiCalls(quint16 port, QString token);

    Answer post(const QString& endpoint, const QJsonObject& body);
    Answer list(const QString& path);
    Answer remove(const QString& path);
    // A presigned address, with optional extra headers.
    Answer get(const QString& url, const httplib::Headers& headers = {});
    Answer put(const QString& url, const QByteArray& body);
    // Presigns and uploads through the direct route, then imports at path.
    Answer uploadFile(const QString& path, const QByteArray& content);

    static QString pathAndQuery(const QString& url);

private:
    httplib::Headers auth() const;
    static Answer of(const httplib::Result& result);

    quint16 port_;
    QString token_;
};
