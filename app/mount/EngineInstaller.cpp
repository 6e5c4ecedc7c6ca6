#include "app/mount/EngineInstaller.h"

#include "app/mount/ArchiveDownload.h"
#include "app/mount/FileDigest.h"
#include "app/mount/MountError.h"
#include "app/mount/MountLogging.h"
#include "platform/AtomicFile.h"
#include "platform/Paths.h"
#include "platform/Tar.h"

#include <QCoroFuture>
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QScopeGuard>
#include <QTemporaryFile>
#include <QUuid>
#include <QtConcurrent>
#include <filesystem>

namespace fs = std::filesystem;

namespace EngineInstaller {

namespace {

constexpr std::chrono::minutes kExtractLimit{5};
constexpr std::chrono::seconds kVersionLimit{10};

fs::path native(const QString& path) {
    return fs::path(path.toStdString());
}

[[noreturn]] void fileSystemFailure(const QString& what, const QString& path,
                                    const std::error_code& error) {
    throw TransportError(
        QStringLiteral("%1 %2: %3").arg(what, path, QString::fromStdString(error.message())),
        error.value());
}

QCoro::Task<void> extract(QString archive, QString scratch) {
    const ChildProcess::Result tar = co_await Tar::extractGzip(archive, scratch, kExtractLimit);
    if (!tar.started)
        throw TransportError(tar.error);
    if (!tar.succeeded) {
        qCWarning(lcMount, "tar said: %s", tar.output.trimmed().constData());
        throw MountError::juicefsDownloadFailed(
            tar.timedOut ? QStringLiteral("extract timed out")
                         : QStringLiteral("extract failed (tar %1)").arg(tar.exitCode));
    }
}

// Moves the unpacked file beside the install location, makes it executable and renames it
// over the old copy, so a running engine keeps its file and a failure leaves the old one.
void install(const QString& unpacked) {
    const QString target = installLocation();
    const QString folder = QFileInfo(target).path();
    std::error_code error;
    fs::create_directories(native(folder), error);
    if (error)
        fileSystemFailure(QStringLiteral("Couldn't create"), folder, error);
    const QString staging =
        folder + QStringLiteral("/.juicefs-") + QUuid::createUuid().toString(QUuid::WithoutBraces);
    auto dropStaging = qScopeGuard([&] { QFile::remove(staging); });
    fs::rename(native(unpacked), native(staging), error);
    if (error == std::errc::cross_device_link) {
        error.clear();
        fs::copy_file(native(unpacked), native(staging), error);
    }
    if (error)
        fileSystemFailure(QStringLiteral("Couldn't move the engine to"), folder, error);
    fs::permissions(native(staging), fs::perms(0755), fs::perm_options::replace, error);
    if (error)
        fileSystemFailure(QStringLiteral("Couldn't make executable"), staging, error);
    fs::rename(native(staging), native(target), error);
    if (error)
        fileSystemFailure(QStringLiteral("Couldn't install"), target, error);
    dropStaging.dismiss();
}

QString unpackedBinary(const QString& scratch) {
    const QFileInfo binary(scratch + QStringLiteral("/juicefs"));
    if (binary.isSymLink() || !binary.isFile())
        throw MountError::juicefsDownloadFailed(QStringLiteral("archive had no juicefs binary"));
    return binary.filePath();
}

QCoro::Task<void> verify(QString archive, QString expected) {
    QFuture<FileDigest::Result> hashing = QtConcurrent::run(&FileDigest::sha256, archive);
    const FileDigest::Result digest = co_await hashing;
    if (!digest.error.isEmpty())
        throw TransportError(digest.error);
    if (digest.hex != expected)
        throw MountError::juicefsDownloadFailed(
            QStringLiteral("checksum mismatch — refusing to install (got %1…)")
                .arg(digest.hex.left(12)));
}

// What the worker that moves the engine into place found; errors cross threads as values.
struct InstallOutcome {
    std::optional<MountError> refused;
    std::optional<TransportError> failed;
};

InstallOutcome installFrom(const QString& scratch) {
    try {
        install(unpackedBinary(scratch));
        return {};
    } catch (const MountError& e) {
        return {e, std::nullopt};
    } catch (const TransportError& e) {
        return {std::nullopt, e};
    }
}

QCoro::Task<void> unpackAndInstall(QString archive) {
    const QString scratch = QDir::tempPath() + QStringLiteral("/jfs-") +
                            QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper();
    std::error_code error;
    fs::create_directories(native(scratch), error);
    if (error)
        fileSystemFailure(QStringLiteral("Couldn't create"), scratch, error);
    auto removeScratch = qScopeGuard([scratch] { QDir(scratch).removeRecursively(); });
    co_await extract(archive, scratch);
    // Moving may mean copying across file systems: off the main thread.
    QFuture<InstallOutcome> installing = QtConcurrent::run(&installFrom, scratch);
    const InstallOutcome outcome = co_await installing;
    if (outcome.refused)
        throw *outcome.refused;
    if (outcome.failed)
        throw *outcome.failed;
}

} // namespace

QString installLocation() {
    return Paths::engineBinary();
}

QString installedMarker() {
    return Paths::engineMarker();
}

bool isExecutableFile(const QString& path) {
    const QFileInfo info(path);
    return info.isFile() && info.isExecutable();
}

std::optional<QString> findBinary(const QStringList& otherLocations) {
    for (const QString& path : QStringList{installLocation()} + otherLocations) {
        if (isExecutableFile(path))
            return path;
    }
    return std::nullopt;
}

bool isInstalled(const QString& sha256) {
    QFile marker(installedMarker());
    if (!marker.open(QIODevice::ReadOnly))
        return false;
    const QString recorded = QString::fromUtf8(marker.readAll()).trimmed();
    return recorded == sha256 && isExecutableFile(installLocation());
}

std::optional<QUrl> downloadURL(const EngineSource& source, const std::optional<QUrl>& apiBase) {
    QString base = source.downloadBase;
    if (base.isEmpty() && apiBase)
        base = apiBase
                   ->adjusted(QUrl::RemovePath | QUrl::RemoveQuery | QUrl::RemoveFragment |
                              QUrl::RemoveUserInfo)
                   .toString(QUrl::FullyEncoded);
    while (base.endsWith(QLatin1Char('/')))
        base.chop(1);
    const QUrl url(base + QStringLiteral("/downloads/") + source.archiveName, QUrl::StrictMode);
    if (base.isEmpty() || !url.isValid() || url.scheme().isEmpty() ||
        (url.host().isEmpty() && !url.isLocalFile()))
        return std::nullopt;
    return url;
}

QCoro::Task<bool> answersVersion(QString binary) {
    const QStringList arguments{QStringLiteral("version")};
    const ChildProcess::Result answer =
        co_await ChildProcess::run(binary, arguments, kVersionLimit);
    co_return answer.succeeded&& answer.output.startsWith("juicefs version ");
}

QCoro::Task<void> ensureInstalled(QNetworkAccessManager& network, EngineSource source,
                                  std::optional<QUrl> apiBase) {
    if (isInstalled(source.sha256)) {
        if (co_await answersVersion(installLocation()))
            co_return;
        // The marker says installed, but the file does not run (damaged, or for another
        // machine): install it once more from the pinned archive.
        qCWarning(lcMount, "the installed engine at %s does not run; installing it again",
                  qUtf8Printable(installLocation()));
        QFile::remove(installedMarker());
    }
    const auto url = downloadURL(source, apiBase);
    if (!url)
        throw MountError::juicefsDownloadFailed(QStringLiteral("bad URL"));
    qCInfo(lcMount, "installing juicefs %s (patched build)", qUtf8Printable(source.version));

    QTemporaryFile archive(QDir::tempPath() + QStringLiteral("/kelvane-engine-XXXXXX.tar.gz"));
    if (!archive.open())
        throw TransportError(archive.errorString());
    co_await ArchiveDownload::fetch(network, *url, archive);
    archive.close();
    const QString archivePath = archive.fileName();
    co_await verify(archivePath, source.sha256);
    co_await unpackAndInstall(archivePath);
    AtomicFile::write(installedMarker(), source.sha256.toUtf8());
    qCInfo(lcMount, "juicefs installed at %s", qUtf8Printable(installLocation()));
}

} // namespace EngineInstaller
