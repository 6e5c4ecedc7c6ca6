#pragma once

#include <QProcess>
#include <QString>

typedef struct _GDBusConnection GDBusConnection;

// A private session bus for the life of the object, with one of two Secret Services on it: a
// real GNOME Keyring whose login collection is unlocked, or a service that owns the name but
// never answers (a keyring stuck behind an unlock prompt). The bus address goes into this
// process's environment, so the stores made here and the programs started afterwards use it.
class PrivateKeyring {
public:
    enum class Kind { gnomeKeyring, silent };

    PrivateKeyring() = default;
    ~PrivateKeyring();
    PrivateKeyring(const PrivateKeyring&) = delete;
    PrivateKeyring& operator=(const PrivateKeyring&) = delete;

    // False when the tools are missing or did not start; problem() says why (skip the test).
    // For a GNOME Keyring this waits until the login collection exists and answers.
    bool start(const QString& home, Kind kind = Kind::gnomeKeyring);
    QString problem() const { return problem_; }

    // Locks the login collection without any prompt, as a screen lock or a timeout would.
    bool lockLoginCollection();

private:
    bool startBus(const QString& home);
    bool startGnomeKeyring(const QString& home);
    bool startSilentService();

    QProcess bus_;
    QProcess keyring_;
    GDBusConnection* silent_ = nullptr;
    QByteArray address_;
    QString problem_;
};
