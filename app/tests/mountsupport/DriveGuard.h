#pragma once

#include "app/tests/mountsupport/MountTestKit.h"
#include "platform/MountTable.h"

#include <QProcess>
#include <QString>
#include <optional>
#include <unistd.h>

// Leaves no engine drive behind under a folder: on destruction every fuse.juicefs mount below
// it is detached (lazily, so a busy or hung drive cannot block the test run).
class DriveGuard {
public:
    explicit DriveGuard(QString folder) : folder_(std::move(folder)) {}
    ~DriveGuard() { releaseAll(); }
    DriveGuard(const DriveGuard&) = delete;
    DriveGuard& operator=(const DriveGuard&) = delete;

    QStringList drives() const {
        QStringList found;
        for (const MountTable::Entry& entry : MountTable::read()) {
            if (entry.fsType == MountTable::kJuicefsType &&
                entry.mountPoint.startsWith(folder_ + QLatin1Char('/')))
                found.append(entry.mountPoint);
        }
        return found;
    }

    void releaseAll() const {
        for (const QString& drive : drives())
            QProcess::execute(QStringLiteral("/usr/bin/fusermount3"), {"-u", "-z", drive});
        MountTestKit::waitUntil([this] { return drives().isEmpty(); }, std::chrono::seconds(30));
    }

    // Why real drives cannot be mounted here, or nothing when they can.
    static std::optional<QString> unavailableReason() {
        if (::access("/dev/fuse", R_OK | W_OK) != 0)
            return QStringLiteral("/dev/fuse is not available");
        if (::access("/usr/bin/fusermount3", X_OK) != 0)
            return QStringLiteral("fusermount3 is not installed");
        return std::nullopt;
    }

private:
    QString folder_;
};
