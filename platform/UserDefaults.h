#pragma once

#include <QSettings>
#include <QVariant>
#include <memory>

// The application's defaults domain: one INI file under the user's config folder.
// Each call opens the file afresh so that another process's writes are seen.
class UserDefaults {
public:
    UserDefaults();
    explicit UserDefaults(const QString& file);

    QVariant value(const QString& key) const;
    QByteArray data(const QString& key) const;
    std::optional<QString> string(const QString& key) const;
    bool boolean(const QString& key, bool fallback = false) const;
    void setValue(const QString& key, const QVariant& value);
    void remove(const QString& key);

private:
    std::unique_ptr<QSettings> open() const;
    QString file_;
};
