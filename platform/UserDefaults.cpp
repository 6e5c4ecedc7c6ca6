#include "platform/UserDefaults.h"

#include "platform/Paths.h"
#include "platform/SafeIniFormat.h"

#include <QFileInfo>
#include <cerrno>
#include <unistd.h>

namespace {

// QSettings says only that the file could not be written; the file system says why.
QString whyNotWritable(const QString& file) {
    const QFileInfo info(file);
    if (info.isDir())
        return QStringLiteral("it is a folder");
    const QByteArray folder = QFile::encodeName(info.absolutePath());
    if (::access(folder.constData(), W_OK) != 0)
        return qt_error_string(errno);
    if (info.exists() && ::access(QFile::encodeName(file).constData(), W_OK) != 0)
        return qt_error_string(errno);
    return QStringLiteral("the file could not be saved");
}

} // namespace

UserDefaults::UserDefaults() : file_(Paths::defaultsFile()) {}

UserDefaults::UserDefaults(const QString& file) : file_(file) {}

std::unique_ptr<QSettings> UserDefaults::open() const {
    return std::make_unique<QSettings>(file_, SafeIniFormat::format());
}

std::optional<WriteError> UserDefaults::commit(QSettings& settings) const {
    settings.sync();
    if (settings.status() == QSettings::NoError)
        return std::nullopt;
    return WriteError(file_, whyNotWritable(file_));
}

QVariant UserDefaults::value(const QString& key) const {
    return open()->value(key);
}

QByteArray UserDefaults::data(const QString& key) const {
    const QVariant v = value(key);
    if (v.typeId() == QMetaType::QByteArray)
        return v.toByteArray();
    if (v.typeId() == QMetaType::QString)
        return v.toString().toUtf8();
    return {};
}

std::optional<QString> UserDefaults::string(const QString& key) const {
    const QVariant v = value(key);
    if (!v.isValid())
        return std::nullopt;
    return v.toString();
}

bool UserDefaults::boolean(const QString& key, bool fallback) const {
    const QVariant v = value(key);
    return v.isValid() ? v.toBool() : fallback;
}

std::optional<WriteError> UserDefaults::change(const QString& key,
                                               const std::optional<QVariant>& value) {
    auto settings = open();
    const std::optional<QVariant> before =
        settings->contains(key) ? std::optional(settings->value(key)) : std::nullopt;
    if (value)
        settings->setValue(key, *value);
    else
        settings->remove(key);
    const std::optional<WriteError> failure = commit(*settings);
    // QSettings keeps an unsaved change for every later reader in this process, and would save
    // it with the next write of any key: take it back, so what is read is what is on disk.
    if (failure) {
        if (before)
            settings->setValue(key, *before);
        else
            settings->remove(key);
    }
    return failure;
}

std::optional<WriteError> UserDefaults::setValue(const QString& key, const QVariant& value) {
    return change(key, value);
}

std::optional<WriteError> UserDefaults::remove(const QString& key) {
    return change(key, std::nullopt);
}
