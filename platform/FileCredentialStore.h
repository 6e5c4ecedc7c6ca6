#pragma once

#include "platform/CredentialStore.h"

#include <QJsonObject>

// Secrets in one JSON file readable by the owner only ({service: {account: value}}), for
// machines where no Secret Service runs (servers, containers, CI).
class FileCredentialStore : public CredentialStore {
public:
    explicit FileCredentialStore(QString file);

    std::optional<QString> get(const QString& service, const QString& account) override;
    void save(const QString& service, const QString& account, const QString& value) override;
    void remove(const QString& service, const QString& account) override;
    QString kind() const override { return QStringLiteral("file"); }

private:
    QJsonObject load() const;
    void store(const QJsonObject& all) const;
    QString file_;
};
