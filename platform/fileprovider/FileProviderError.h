#pragma once

#include <QByteArray>
#include <QString>
#include <exception>

// A failure of the file-provider layer: the framework's numeric code and a description the
// user may see. File failures carry the platform's own text.
class FileProviderError : public std::exception {
public:
    static constexpr int kServerUnreachable = -1004;
    static constexpr int kNoSuchItem = -1005;
    static constexpr int kProviderNotFound = -2001;
    // A local file of the registry could not be read or written.
    static constexpr int kFileError = -1;

    FileProviderError(int code, QString description)
        : code_(code), description_(std::move(description)), what_(description_.toUtf8()) {}

    int code() const { return code_; }
    QString description() const { return description_; }
    const char* what() const noexcept override { return what_.constData(); }

private:
    int code_;
    QString description_;
    QByteArray what_;
};
