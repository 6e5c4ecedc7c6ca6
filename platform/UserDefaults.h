#pragma once

#include "platform/WriteError.h"

#include <QSettings>
#include <QVariant>
#include <memory>
#include <optional>

// The application's defaults domain: one INI file under the user's config folder, in Qt's INI
// syntax read by SafeIniFormat. Each call opens the file afresh so that another process's
// writes are seen.
class UserDefaults {
public:
    UserDefaults();
    explicit UserDefaults(const QString& file);

    QVariant value(const QString& key) const;
    // Stored bytes, or a stored string as UTF-8; any other value reads as nothing.
    QByteArray data(const QString& key) const;
    std::optional<QString> string(const QString& key) const;
    bool boolean(const QString& key, bool fallback = false) const;

    // Each write reaches the file before it returns: nothing when it did, else what failed.
    std::optional<WriteError> setValue(const QString& key, const QVariant& value);
    std::optional<WriteError> remove(const QString& key);

    QString file() const { return file_; }

private:
    std::unique_ptr<QSettings> open() const;
    std::optional<WriteError> commit(QSettings& settings) const;
    std::optional<WriteError> change(const QString& key, const std::optional<QVariant>& value);
    QString file_;
};
