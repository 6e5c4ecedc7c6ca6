#include "tools/devengine/tests/MountedVolume.h"

#include "tools/devengine/MountTable.h"
#include "tools/devengine/ProcessWatch.h"
#include "tools/devengine/StagingFolder.h"
#include "tools/devengine/Unmounter.h"

#include <QDir>
#include <QFile>
#include <csignal>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

constexpr auto kDaemonExit = std::chrono::seconds(60);

} // namespace

MountedVolume::MountedVolume(const QString& root)
    : backing_(root + QStringLiteral("/vol")), mountPoint_(root + QStringLiteral("/mnt")),
      cache_(root + QStringLiteral("/cache")) {
    // Daemons outlive the engine process that starts them; adopt them so they can be reaped.
    ::prctl(PR_SET_CHILD_SUBREAPER, 1);
    QDir().mkpath(backing_);
    QDir().mkpath(mountPoint_);
}

MountedVolume::~MountedVolume() {
    if (isMounted())
        unmount();
    if (isMounted())
        Unmounter::unmount(mountPoint_.toStdString(), true);
    if (daemon_ && !ProcessWatch::waitForExit(*daemon_, kDaemonExit))
        ::kill(*daemon_, SIGKILL);
    reapDaemon();
}

std::optional<QString> MountedVolume::unavailableReason() {
    if (::access("/dev/fuse", R_OK | W_OK) != 0)
        return QStringLiteral("/dev/fuse is not available");
    if (::geteuid() != 0 && ::access("/usr/bin/fusermount3", X_OK) != 0)
        return QStringLiteral("fusermount3 is not installed");
    return std::nullopt;
}

QString MountedVolume::join(const QString& folder, const QString& relative) {
    return relative.isEmpty() ? folder : folder + QLatin1Char('/') + relative;
}

EngineRun MountedVolume::mount(const QStringList& options) {
    const QStringList args = QStringList{QStringLiteral("mount"), QStringLiteral("-d"),
                                         QStringLiteral("--cache-dir"), cache_} +
                             options + QStringList{metaUrl(), mountPoint_};
    EngineRun run = EngineProcess::run(args);
    if (isMounted()) {
        const auto values = stats();
        if (const auto it = values.find("juicefs_pid"); it != values.end())
            daemon_ = static_cast<pid_t>(it->second);
    }
    return run;
}

EngineRun MountedVolume::unmount() {
    EngineRun run = EngineProcess::run({QStringLiteral("umount"), mountPoint_});
    reapDaemon();
    return run;
}

void MountedVolume::reapDaemon() {
    if (daemon_ && ProcessWatch::waitForExit(*daemon_, kDaemonExit) &&
        ::waitpid(*daemon_, nullptr, WNOHANG) != 0)
        daemon_.reset();
}

bool MountedVolume::signal(int sig) const {
    return daemon_ && ::kill(*daemon_, sig) == 0;
}

bool MountedVolume::die() {
    if (!signal(SIGKILL) || !ProcessWatch::waitForExit(*daemon_, kDaemonExit))
        return false;
    reapDaemon();
    return !daemon_;
}

bool MountedVolume::crash() {
    return die() && Unmounter::unmount(mountPoint_.toStdString(), true) && !isMounted();
}

QString MountedVolume::stagingFolder() const {
    return cache_ + QLatin1Char('/') +
           QString::fromStdString(StagingFolder::volumeKey("vol", backing_.toStdString())) +
           QStringLiteral("/rawstaging");
}

bool MountedVolume::isMounted() const {
    return MountTable::isEngineMount(QDir(mountPoint_).canonicalPath().toStdString());
}

bool MountedVolume::waitUntilUnmounted() {
    const bool gone = pollUntil([this] { return !isMounted(); });
    reapDaemon();
    return gone;
}

std::map<std::string, double> MountedVolume::stats() const {
    return parseStats(readFile(mounted(QStringLiteral(".stats"))));
}

bool pollUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline)
            return condition();
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}

std::map<std::string, double> parseStats(const QByteArray& text) {
    std::map<std::string, double> values;
    for (const QByteArray& line : text.split('\n')) {
        const QList<QByteArray> parts = line.simplified().split(' ');
        bool ok = false;
        const double value = parts.size() == 2 ? parts[1].toDouble(&ok) : 0;
        if (ok)
            values[parts[0].toStdString()] = value;
    }
    return values;
}

QByteArray readFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool writeFile(const QString& path, const QByteArray& data) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(data) == data.size();
}
