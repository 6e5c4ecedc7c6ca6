#include "platform/DistributionPackages.h"

#include <QFile>
#include <QStringList>

namespace DistributionPackages {

namespace {

// ID first, then ID_LIKE's entries: the distribution and the ones it derives from.
QStringList identities(const QString& osReleaseFile) {
    QFile file(osReleaseFile);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return {};
    QString id;
    QStringList like;
    const auto value = [](const QString& line) {
        QString v = line.section(QLatin1Char('='), 1).trimmed();
        if (v.size() >= 2 && (v.startsWith(QLatin1Char('"')) || v.startsWith(QLatin1Char('\''))))
            v = v.mid(1, v.size() - 2);
        return v.toLower();
    };
    // os-release is a few hundred bytes; a damaged one is not read past this.
    for (const QString& line : QString::fromUtf8(file.read(64 * 1024)).split(QLatin1Char('\n'))) {
        if (line.startsWith(QLatin1String("ID=")))
            id = value(line);
        else if (line.startsWith(QLatin1String("ID_LIKE=")))
            like = value(line).split(QLatin1Char(' '), Qt::SkipEmptyParts);
    }
    if (!id.isEmpty())
        like.prepend(id);
    return like;
}

QUrl pageFor(const QString& distribution, const QString& package) {
    const QString p = QString::fromLatin1(QUrl::toPercentEncoding(package));
    if (distribution == QLatin1String("debian"))
        return QUrl(QStringLiteral("https://packages.debian.org/stable/") + p);
    if (distribution == QLatin1String("ubuntu"))
        return QUrl(QStringLiteral("https://packages.ubuntu.com/") + p);
    if (distribution == QLatin1String("fedora"))
        return QUrl(QStringLiteral("https://packages.fedoraproject.org/pkgs/") + p + "/");
    if (distribution == QLatin1String("arch"))
        return QUrl(QStringLiteral("https://archlinux.org/packages/?q=") + p);
    if (distribution.startsWith(QLatin1String("opensuse")) || distribution == QLatin1String("suse"))
        return QUrl(QStringLiteral("https://software.opensuse.org/package/") + p);
    return {};
}

} // namespace

QUrl helpPage(const QString& package, const QString& upstream, const QString& osReleaseFile) {
    for (const QString& distribution : identities(osReleaseFile)) {
        const QUrl page = pageFor(distribution, package);
        if (page.isValid())
            return page;
    }
    return QUrl(upstream);
}

} // namespace DistributionPackages
