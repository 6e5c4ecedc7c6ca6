#pragma once

#include <QString>
#include <QStringList>
#include <chrono>
#include <functional>

// Timings and system locations of the direct-mount subsystem; tests shorten and redirect them.
struct MountOptions {
    std::chrono::milliseconds pollTick{1000};
    // A mount that has not attached after strictly longer than this gives up.
    std::chrono::milliseconds pollLimit{300'000};
    std::chrono::milliseconds cloudStatsLimit{10'000};

    // Places searched for an engine after the private install location, in order.
    QStringList systemEngineLocations{QStringLiteral("/usr/local/bin/juicefs"),
                                      QStringLiteral("/opt/homebrew/bin/juicefs"),
                                      QStringLiteral("/usr/bin/juicefs")};
    // FUSE is present when the device exists and one of the helpers is installed.
    QString fuseDevice = QStringLiteral("/dev/fuse");
    QStringList fusermountLocations{QStringLiteral("/usr/bin/fusermount3"),
                                    QStringLiteral("/bin/fusermount3"),
                                    QStringLiteral("/usr/local/bin/fusermount3"),
                                    QStringLiteral("/usr/bin/fusermount"),
                                    QStringLiteral("/bin/fusermount"),
                                    QStringLiteral("/usr/local/bin/fusermount")};

    // Health of mounted drives: how often each is looked at, and how long a look may take
    // before the engine counts as hung.
    std::chrono::milliseconds healthInterval{2000};
    std::chrono::milliseconds probeLimit{5000};
    // Bringing back a drive whose engine died: 1, 2, 4 … s between tries, at most this many.
    std::chrono::milliseconds remountFirstDelay{1000};
    std::chrono::milliseconds remountMaxDelay{60'000};
    int remountTries = 5;
    // How long an unmount waits for a starting engine to settle before it goes ahead.
    std::chrono::milliseconds startSettleLimit{30'000};

    // Threads for work that touches a mounted drive; one hung drive may hold one of them.
    int driveWorkerThreads = 8;

    // Shows a path in the file manager (a folder is opened, a file selected). Unset: only logged.
    std::function<void(const QString& path, bool isFolder)> reveal;
};
