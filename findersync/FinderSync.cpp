#include "findersync/FinderSync.h"

#include "findersync/FinderLogging.h"
#include "findersync/ShareLink.h"
#include "platform/PathProbe.h"
#include "platform/findersync/FinderSyncController.h"
#include "platform/findersync/Pasteboard.h"
#include "platform/findersync/Workspace.h"
#include "shared/FinderSyncConfig.h"

#include <QFile>
#include <QSet>
#include <QUrl>

namespace {

QByteArray native(const QString& path) {
    return QFile::encodeName(path);
}

bool isInside(const QByteArray& path, const QByteArray& folder) {
    return path.startsWith(folder + '/');
}

QByteArray parentOf(const QByteArray& path) {
    const qsizetype slash = path.lastIndexOf('/');
    return slash <= 0 ? QByteArray("/") : path.left(slash);
}

} // namespace

FinderSync::FinderSync(Services services, QObject* parent)
    : QObject(parent), services_(std::move(services)) {
    connect(&timer_, &QTimer::timeout, this, &FinderSync::refreshWatchedDirectories);
}

QString FinderSync::mountBase() const {
    return FinderSyncConfig::mountBase(services_.realHome, services_.configFile);
}

std::optional<QString> FinderSync::siteURL() const {
    return FinderSyncConfig::siteURL(services_.configFile);
}

QStringList FinderSync::candidateDirectories() const {
    const QString base = mountBase();
    QStringList candidates{base};
    auto add = [&candidates](const QString& path) {
        if (!candidates.contains(path))
            candidates.append(path);
    };
    for (const QString& path :
         FinderSyncConfig::mountPaths(services_.realHome, services_.configFile))
        add(path);
    for (const QByteArray& name : PathProbe::namesIn(native(base)).value_or(QList<QByteArray>())) {
        if (!name.startsWith('.'))
            add(base + QLatin1Char('/') + QFile::decodeName(name));
    }
    return candidates;
}

void FinderSync::refreshWatchedDirectories() {
    const QStringList candidates = candidateDirectories();
    QList<QByteArray> paths;
    for (const QString& candidate : candidates)
        paths.append(native(candidate));
    const auto devices = PathProbe::devicesOf(paths);
    QMap<QString, qint64> examined;
    for (qsizetype i = 0; i < candidates.size(); ++i)
        examined.insert(candidates.at(i), static_cast<qint64>(devices.at(i).value_or(0)));
    if (examined == watched_)
        return;
    watched_ = examined;
    const QStringList sorted = watched_.keys();
    services_.controller.setDirectoryURLs(QSet<QString>(sorted.cbegin(), sorted.cend()));
    const QString line = QStringLiteral("watching ") + sorted.join(QStringLiteral(", "));
    qCInfo(lcFinder).noquote() << line;
    emit watching(line);
}

void FinderSync::startRefreshing(std::chrono::milliseconds interval) {
    refreshWatchedDirectories();
    timer_.start(interval);
}

std::optional<QByteArray> FinderSync::volumeRelativePath(const QByteArray& path) const {
    const QByteArray p = ShareLink::cleanAbsolute(path);
    const QByteArray base = native(mountBase());
    if (!isInside(p, base))
        return std::nullopt;
    QList<QByteArray> pieces;
    for (const QByteArray& piece : p.mid(base.size() + 1).split('/')) {
        if (!piece.isEmpty())
            pieces.append(piece);
    }
    if (pieces.size() < 2)
        return std::nullopt;
    pieces.removeFirst();
    return pieces.join('/');
}

bool FinderSync::isDirectory(const QByteArray& path) const {
    const auto status = PathProbe::statusOf({ShareLink::cleanAbsolute(path)}).value(0);
    return status && status->isDirectory;
}

// A link names the item by its path in the filespace, so an item reached through a symbolic
// link that leads out of the filespace (or to the filespace folder itself) has no link: the
// server does not hold what the user sees there.
bool FinderSync::staysInsideFilespace(const QByteArray& path, const QByteArray& relative) const {
    const QByteArray p = ShareLink::cleanAbsolute(path);
    const QByteArray base = native(mountBase());
    const QByteArray inBase = p.mid(base.size() + 1);
    const QByteArray filespaceName = inBase.left(inBase.size() - relative.size() - 1);
    const QByteArray filespace = base + '/' + filespaceName;
    const auto real = PathProbe::realPathsOf({filespace, p, parentOf(p)});
    if (!real.at(0))
        return true;
    const QByteArray& folder = *real.at(0);
    if (real.at(1))
        return isInside(*real.at(1), folder);
    if (real.at(2))
        return *real.at(2) == folder || isInside(*real.at(2), folder);
    return true;
}

std::optional<QString> FinderSync::usableSite() const {
    const auto site = siteURL();
    if (!site)
        return std::nullopt;
    const QUrl url(*site);
    const QString scheme = url.scheme();
    if (!url.isValid() || url.host().isEmpty() ||
        (scheme != QLatin1String("https") && scheme != QLatin1String("http"))) {
        qCWarning(lcFinder).noquote()
            << "the server address" << *site << "is not a web address; no links can be made";
        return std::nullopt;
    }
    return site;
}

QStringList FinderSync::selectedShareLinks() const {
    QStringList links;
    const auto site = usableSite();
    if (!site)
        return links;
    for (const QByteArray& item : services_.controller.selectedItemURLs()) {
        const auto relative = volumeRelativePath(item);
        if (!relative)
            continue;
        if (!staysInsideFilespace(item, *relative)) {
            qCDebug(lcFinder) << "leads out of its filespace:" << item;
            continue;
        }
        links.append(ShareLink::linkFor(*site, *relative, isDirectory(item)));
    }
    return links;
}

std::optional<FinderMenu> FinderSync::menu(FinderMenu::Kind kind) const {
    if (kind != FinderMenu::Kind::contextualMenuForItems &&
        kind != FinderMenu::Kind::contextualMenuForContainer)
        return std::nullopt;
    const auto selection = services_.controller.selectedItemURLs();
    if (selection.isEmpty())
        return std::nullopt;
    FinderMenu menu{QStringLiteral("Kelvane"), {}};
    menu.items.append({selection.size() == 1 ? QStringLiteral("Copy Kelvane Link")
                                             : QStringLiteral("Copy Kelvane Links"),
                       QStringLiteral("link"), QString(), FinderMenu::Action::copyLink});
    menu.items.append({QStringLiteral("Open in Kelvane on the Web"), QStringLiteral("safari"),
                       QString(), FinderMenu::Action::openOnWeb});
    return menu;
}

bool FinderSync::copyLink() {
    const QStringList links = selectedShareLinks();
    if (links.isEmpty()) {
        qCCritical(lcFinder) << "copy link: nothing resolvable was selected";
        return false;
    }
    QString error;
    if (!services_.pasteboard.setString(links.join(QLatin1Char('\n')), &error)) {
        qCCritical(lcFinder).noquote() << "copy link: the links could not be put on the "
                                          "clipboard:"
                                       << error;
        return false;
    }
    qCInfo(lcFinder).noquote() << QStringLiteral("copied %1 link(s)").arg(links.size());
    return true;
}

bool FinderSync::openOnWeb() {
    const QStringList links = selectedShareLinks();
    if (links.isEmpty())
        return false;
    const QUrl url(links.first(), QUrl::StrictMode);
    if (!url.isValid())
        return false;
    QString error;
    if (!services_.workspace.openURL(links.first(), &error)) {
        qCWarning(lcFinder).noquote() << "open on web:" << error;
        return false;
    }
    return true;
}
