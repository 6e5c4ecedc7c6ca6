#include "shared/package/BundleVersion.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>

namespace {

// A version file is a few dozen bytes; anything this large is not one.
constexpr qint64 kMaxBytes = 64 * 1024;

QString textOr0(const QJsonObject& o, const char* key) {
    const QJsonValue v = o.value(QLatin1String(key));
    return v.isString() ? v.toString() : QStringLiteral("0");
}

} // namespace

BundleVersion BundleVersion::read(const QString& bundle) {
    QFile file(bundle + '/' + kFileName);
    if (!file.open(QIODevice::ReadOnly) || file.size() > kMaxBytes)
        return {};
    const QJsonObject o = QJsonDocument::fromJson(file.readAll()).object();
    return {textOr0(o, "version"), textOr0(o, "build")};
}

bool BundleVersion::write(const QString& bundle) const {
    QSaveFile file(bundle + '/' + kFileName);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    const QJsonObject o{{"version", version}, {"build", build}};
    const QByteArray bytes = QJsonDocument(o).toJson(QJsonDocument::Indented);
    if (file.write(bytes) != bytes.size())
        return false;
    file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup |
                        QFileDevice::ReadOther);
    return file.commit();
}
