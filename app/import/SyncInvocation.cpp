#include "app/import/SyncInvocation.h"

#include <QFileInfo>
#include <QRegularExpression>
#include <algorithm>

namespace SyncInvocation {

namespace {

constexpr int kWorkers = 32;

bool misreadInUrl(char c) {
    const auto byte = static_cast<unsigned char>(c);
    return byte < 0x20 || byte == 0x7f || c == '%' || c == '#' || c == '?' || c == ':' || c == '@';
}

bool needsFileUrl(const QString& path) {
    const QByteArray bytes = path.toUtf8();
    return std::any_of(bytes.cbegin(), bytes.cend(), misreadInUrl);
}

} // namespace

std::optional<QString> volumeNameProblem(const QString& volumeName) {
    static const QRegularExpression valid(QStringLiteral("^[a-z0-9][a-z0-9-]{1,61}[a-z0-9]$"));
    if (valid.match(volumeName).hasMatch())
        return std::nullopt;
    return QStringLiteral("its volume name \"%1\" is not a valid volume name (3 to 63 lower-case "
                          "letters, digits and hyphens)")
        .arg(volumeName);
}

QString destinationName(const QString& source, const std::optional<QString>& subpath) {
    if (subpath)
        return *subpath;
    return QFileInfo(source).fileName();
}

QString escapePath(const QString& path) {
    QByteArray out;
    for (const char c : path.toUtf8()) {
        if (misreadInUrl(c))
            out += '%' + QByteArray::number(static_cast<unsigned char>(c), 16)
                             .rightJustified(2, '0')
                             .toUpper();
        else
            out += c;
    }
    return QString::fromUtf8(out);
}

QString sourceArgument(const QString& folder) {
    const QString withSlash = folder.endsWith('/') ? folder : folder + '/';
    if (!needsFileUrl(withSlash))
        return withSlash;
    return QStringLiteral("file://") + escapePath(withSlash);
}

QString destinationArgument(const QString& volumeName, const QString& destination) {
    return QStringLiteral("jfs://") + volumeName + '/' + escapePath(destination) + '/';
}

QStringList arguments(quint16 metricsPort, const QString& source, const QString& destination) {
    return {QStringLiteral("sync"),
            QStringLiteral("-p"),
            QString::number(kWorkers),
            QStringLiteral("--update"),
            QStringLiteral("--metrics"),
            QStringLiteral("127.0.0.1:%1").arg(metricsPort),
            source,
            destination};
}

QProcessEnvironment environment(const Filespace& filespace, QProcessEnvironment base) {
    base.insert(filespace.volumeName, filespace.metadataPublicURL);
    return base;
}

} // namespace SyncInvocation
