#pragma once

#include "shared/package/GzipStream.h"
#include "shared/package/TarHeader.h"

#include <QString>

// Writes a gzip-compressed ustar archive that comes out byte for byte the same for the same
// entries: owner 0, time 0, no user or group names, one gzip member.
class TarGzWriter {
public:
    bool open(const QString& path, QString* error);

    bool addDirectory(const QByteArray& name, unsigned mode);
    bool addBytes(const QByteArray& name, unsigned mode, const QByteArray& content);
    bool addFile(const QByteArray& name, unsigned mode, const QString& source);
    bool addSymlink(const QByteArray& name, const QByteArray& target);
    // Any header and exactly the bytes given after it, padded to a block only when asked:
    // for archives that must look odd.
    bool addRaw(const TarHeader& header, const QByteArray& content, bool pad = true);

    // Writes the end of the archive and closes it.
    bool finish(QString* error);
    QString errorString() const { return error_; }

private:
    bool writeHeader(const TarHeader& header);
    bool pad(qint64 size);
    GzipWriter gzip_;
    qint64 written_ = 0;
    QString error_;
};
