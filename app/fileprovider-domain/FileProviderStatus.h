#pragma once

#include <QMetaType>
#include <QString>

// The registration state of the file-provider domain; two values are equal when their kind
// and, for failed, their text are.
class FileProviderStatus {
public:
    enum class Kind { unregistered, registering, registered, failed };

    FileProviderStatus() = default;
    static FileProviderStatus unregistered() { return {Kind::unregistered, {}}; }
    static FileProviderStatus registering() { return {Kind::registering, {}}; }
    static FileProviderStatus registered() { return {Kind::registered, {}}; }
    static FileProviderStatus failed(QString description) {
        return {Kind::failed, std::move(description)};
    }

    Kind kind() const { return kind_; }
    // The failure's description; empty for the other kinds.
    const QString& text() const { return text_; }

    bool operator==(const FileProviderStatus&) const = default;

private:
    FileProviderStatus(Kind kind, QString text) : kind_(kind), text_(std::move(text)) {}
    Kind kind_ = Kind::unregistered;
    QString text_;
};

Q_DECLARE_METATYPE(FileProviderStatus)
