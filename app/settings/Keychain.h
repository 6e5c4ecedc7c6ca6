#pragma once

#include <QCoroTask>
#include <QString>
#include <memory>
#include <optional>

class CredentialStore;
class QThreadPool;

// The application's secrets, all under the service "com.30814qv.kelvane"; the key is the
// item's account. A store that exists but is locked or slow throws CredentialsUnavailable
// (never "absent"); a write that fails throws WriteError.
class Keychain {
public:
    static inline const QString kTokenKey = QStringLiteral("api_token");

    explicit Keychain(CredentialStore& store);
    ~Keychain();
    Keychain(const Keychain&) = delete;
    Keychain& operator=(const Keychain&) = delete;

    // Blocking, up to the store's deadline: for worker threads and tests only.
    std::optional<QString> get(const QString& key) const;
    void save(const QString& key, const QString& value);
    void remove(const QString& key);

    // The same on the keychain's own thread, awaited without blocking the caller. Operations
    // run one at a time in the order they were asked for.
    QCoro::Task<std::optional<QString>> fetch(QString key) const;
    QCoro::Task<> store(QString key, QString value);
    QCoro::Task<> erase(QString key);

    QString storeKind() const;

private:
    CredentialStore& store_;
    std::unique_ptr<QThreadPool> worker_;
};
