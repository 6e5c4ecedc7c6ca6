#include "platform/UserDefaults.h"

#include "platform/Paths.h"

UserDefaults::UserDefaults() : file_(Paths::defaultsFile()) {}

UserDefaults::UserDefaults(const QString& file) : file_(file) {}

std::unique_ptr<QSettings> UserDefaults::open() const {
    return std::make_unique<QSettings>(file_, QSettings::IniFormat);
}

QVariant UserDefaults::value(const QString& key) const {
    return open()->value(key);
}

QByteArray UserDefaults::data(const QString& key) const {
    const QVariant v = value(key);
    return v.isValid() ? v.toByteArray() : QByteArray();
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

void UserDefaults::setValue(const QString& key, const QVariant& value) {
    auto settings = open();
    settings->setValue(key, value);
    settings->sync();
}

void UserDefaults::remove(const QString& key) {
    auto settings = open();
    settings->remove(key);
    settings->sync();
}
