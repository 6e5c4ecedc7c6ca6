#pragma once

#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

// Hands a verified update over to the swap script and asks the application to quit.
class UpdateInstaller {
public:
    struct Setup {
        QString currentBundle;
        QString temporaryFolder;
        QString logFile; // the script's and the new instance's output
        QStringList relaunchArguments;
        std::function<void()> requestQuit;
    };

    explicit UpdateInstaller(Setup setup) : setup_(std::move(setup)) {}

    // Checks that the bundle can be replaced, writes the script, starts it with /bin/bash and
    // asks for the normal quit (so drives unmount first). Throws UpdateError (notWritable,
    // unsafePath) before anything is written, TransportError when the script cannot be
    // written or started.
    void installAndRelaunch(const QString& newBundle, const QString& unpackedFolder,
                            const QString& package) const;

    // The install folder when it is not writable, else the first folder of the bundle that
    // is not (the script could not empty it), else nothing.
    static std::optional<QString> firstUnwritable(const QString& currentBundle);
    QString scriptPath(qint64 processId) const;

private:
    Setup setup_;
};
