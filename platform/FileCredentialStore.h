#pragma once

#include "platform/CredentialStore.h"

#include <QJsonObject>

// Secrets in one JSON file readable by the owner only ({service: {account: value}}), for
// machines where no Secret Service runs (servers, containers, CI). The file is removed with
// its last secret. Writes that fail throw WriteError naming the file.
class FileCredentialStore : public CredentialStore {
public:
    explicit FileCredentialStore(QString file);

    std::optional<QString> get(const QString& service, const QString& account) override;
    void save(const QString& service, const QString& account, const QString& value) override;
    void remove(const QString& service, const QString& account) override;
    QString kind() const override { return QStringLiteral("file"); }

private:
    // A missing or corrupt file is empty; one that exists but cannot be read is nothing.
    std::optional<QJsonObject> load(bool* corrupt = nullptr) const;
    void store(const QJsonObject& all) const;
    QString file_;
};
