#pragma once

#include "tools/devserver/WorkspaceRecords.h"

#include <QList>
#include <QMap>
#include <QString>
#include <mutex>
#include <optional>
#include <utility>

// Users, filespaces, issued tokens and the provision mount options, persisted in the data
// folder so a restarted server keeps its sessions. Safe to use from every request thread.
class Workspace {
public:
    // Loads what the folder already holds; throws std::runtime_error when a stored file is
    // unreadable or not the expected JSON.
    explicit Workspace(const QString& dataDir);

    QString dataDir() const { return dataDir_; }
    QString filespaceDir(const QString& mountName) const;
    // The metadata address the engine mounts: the folder itself as a file URL.
    QString filespaceMetadataURL(const QString& mountName) const;
    QString serverMetadataURL() const;

    void addUser(const UserRecord& user);
    void addFilespace(const FilespaceRecord& filespace);
    bool isDemoSeeded() const;
    void markDemoSeeded();

    // A fresh token and the user, or nothing for an unknown e-mail or a wrong password.
    std::optional<std::pair<QString, UserRecord>> login(const QString& email,
                                                        const QString& password);
    std::optional<UserRecord> userForToken(const QString& token) const;

    QList<FilespaceRecord> filespaces() const;
    std::optional<FilespaceRecord> filespace(const QString& mountName) const;

    QMap<QString, QString> mountOptions() const;
    void setMountOptions(const QMap<QString, QString>& options);

private:
    void load();
    void loadDefinitions();
    void loadTokens();
    void saveDefinitions() const;
    void saveTokens() const;

    const QString dataDir_;
    mutable std::mutex mutex_;
    QList<UserRecord> users_;
    QList<FilespaceRecord> filespaces_;
    QMap<QString, QString> mountOptions_;
    QMap<QString, QString> tokens_; // token → user id
    bool demoSeeded_ = false;
};
