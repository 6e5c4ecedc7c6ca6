#include "tools/devserver/IncomingObject.h"

#include "tools/devserver/ApiRefusal.h"
#include "tools/devserver/WorkspaceRecords.h"

#include <QDir>
#include <filesystem>

IncomingObject::IncomingObject(const QString& tempDir)
    : file_(tempDir + "/incoming-" + randomHex(16)) {
    QDir().mkpath(tempDir);
    if (!file_.open(QIODevice::WriteOnly | QIODevice::NewOnly))
        throw ApiRefusal::diskError("Cannot store the object: " + file_.errorString());
}

IncomingObject::~IncomingObject() {
    // Gone already when it was committed or moved into place.
    if (!committed_)
        file_.remove();
}

bool IncomingObject::append(const char* data, size_t length) {
    md5_.addData(QByteArrayView(data, qsizetype(length)));
    size_ += qint64(length);
    return file_.write(data, qint64(length)) == qint64(length);
}

QString IncomingObject::md5Hex() {
    if (digest_.isEmpty())
        digest_ = QString::fromLatin1(md5_.result().toHex());
    return digest_;
}

QString IncomingObject::close() {
    md5Hex();
    if (file_.isOpen()) {
        if (!file_.flush())
            throw ApiRefusal::diskError("Cannot store the object: " + file_.errorString());
        file_.close();
    }
    return file_.fileName();
}

void IncomingObject::commitTo(const QString& target) {
    std::error_code ec;
    std::filesystem::rename(close().toStdString(), target.toStdString(), ec);
    if (ec)
        throw ApiRefusal::diskError("Cannot store the object: " +
                                    QString::fromStdString(ec.message()));
    committed_ = true;
}
