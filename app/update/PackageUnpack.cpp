#include "app/update/PackageUnpack.h"

#include "app/update/Shell.h"
#include "app/update/UpdateError.h"
#include "app/update/UpdateLogging.h"
#include "shared/package/FileTree.h"

#include <QCoroFuture>
#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QtConcurrent>
#include <cerrno>
#include <cstring>
#include <sys/stat.h>

namespace PackageUnpack {

namespace {

constexpr int kNameTries = 16;

// A folder nobody else made: mkdir fails when the name is taken, and then another is tried.
QString makeFreshFolder(const QString& temporaryFolder) {
    QString lastError;
    for (int i = 0; i < kNameTries; ++i) {
        const QString path = temporaryFolder + "/KelvaneUpdate-" +
                             QString::number(QRandomGenerator::system()->generate());
        if (::mkdir(QFile::encodeName(path).constData(), 0700) == 0)
            return path;
        lastError = QString::fromLocal8Bit(std::strerror(errno));
        if (errno != EEXIST)
            break;
    }
    throw TransportError("Can't create a folder in " + temporaryFolder + ": " + lastError);
}

// The scan, on a worker: the reason for refusing, or nothing.
std::optional<QString> scanned(const QString& package, const TarScan::Limits& limits) {
    const TarScan::Result result = TarScan::scan(package, limits);
    return result.ok ? std::nullopt : std::optional(result.problem);
}

std::optional<QString> inspectedAndSealed(const QString& root, const TarScan::Limits& limits) {
    if (auto problem = inspect(root, limits))
        return problem;
    if (!FileTree::setWritable(root, false))
        return QStringLiteral("the unpacked files could not be made read-only");
    return std::nullopt;
}

QCoro::Task<void> removeOnWorker(const QString& folder) {
    QFuture<void> removing = QtConcurrent::run([folder] { FileTree::removeAll(folder); });
    co_await removing;
}

} // namespace

std::optional<QString> inspect(const QString& root, const TarScan::Limits& limits) {
    QString error;
    const auto nodes = FileTree::list(root, &error, {}, limits.maxEntries);
    if (!nodes)
        return error;
    for (const FileTree::Node& n : *nodes) {
        if (n.isSymlink() && !FileTree::isContainedLinkTarget(n.linkTarget))
            return "the link " + QFile::decodeName(n.path) + " leaves the folder";
        if (!n.isSymlink() && !n.isDirectory() && !n.isFile())
            return QFile::decodeName(n.path) + " is not a file, folder or link";
        if (n.mode & (S_ISUID | S_ISGID | S_ISVTX))
            return QFile::decodeName(n.path) + " has set-id or sticky bits";
    }
    return std::nullopt;
}

QCoro::Task<QString> attach(QString package, QString temporaryFolder, TarScan::Limits limits) {
    const QString folder = makeFreshFolder(temporaryFolder);
    QFuture<std::optional<QString>> scanning =
        QtConcurrent::run([package, limits] { return scanned(package, limits); });
    std::optional<QString> problem = co_await scanning;
    if (!problem) {
        // Modes exactly as packed (the manifest signs them), owned by whoever unpacks, fresh
        // times.
        const QStringList arguments{QStringLiteral("--no-same-owner"),
                                    QStringLiteral("--preserve-permissions"),
                                    QStringLiteral("--touch"),
                                    QStringLiteral("-xzf"),
                                    package,
                                    QStringLiteral("-C"),
                                    folder};
        std::exception_ptr startFailure;
        bool unpacked = false;
        try {
            unpacked = co_await Shell::succeeds(kTar, arguments);
        } catch (...) {
            startFailure = std::current_exception();
        }
        if (startFailure) {
            co_await removeOnWorker(folder);
            std::rethrow_exception(startFailure);
        }
        if (!unpacked)
            problem = QStringLiteral("tar could not unpack it");
    }
    if (!problem) {
        QFuture<std::optional<QString>> sealing =
            QtConcurrent::run([folder, limits] { return inspectedAndSealed(folder, limits); });
        problem = co_await sealing;
    }
    if (problem) {
        qCWarning(lcUpdate) << "update package refused:" << *problem;
        co_await removeOnWorker(folder);
        throw UpdateError(UpdateError::Kind::badDMG);
    }
    co_return folder;
}

void cleanUp(const std::optional<QString>& folder, const QStringList& files) {
    if (folder)
        FileTree::removeAll(*folder);
    for (const QString& file : files)
        QFile::remove(file);
}

} // namespace PackageUnpack
