#pragma once

#include <QCryptographicHash>
#include <QFile>
#include <QString>

// The body of one object upload as it arrives: written straight to a temporary file on the
// store's disk while its MD5 is computed, so an object of any size never sits in memory.
// The temporary file is removed unless the object is committed.
class IncomingObject {
public:
    // Throws ApiRefusal (500) when no temporary file can be made in the folder.
    explicit IncomingObject(const QString& tempDir);
    ~IncomingObject();
    IncomingObject(const IncomingObject&) = delete;
    IncomingObject& operator=(const IncomingObject&) = delete;

    bool append(const char* data, size_t length);
    qint64 size() const { return size_; }
    // The MD5 of the bytes as lower-case hex (an object store's ETag without its quotes).
    QString md5Hex();
    // Flushes and closes the file and returns where it lies; whoever moves it away owns it.
    QString close();
    // Closes the file and renames it to target, replacing what is there (same disk).
    void commitTo(const QString& target);

private:
    QFile file_;
    QCryptographicHash md5_{QCryptographicHash::Md5};
    qint64 size_ = 0;
    QString digest_;
    bool committed_ = false;
};
