#include "platform/fileprovider/host/SyncAnchorStore.h"

#include "platform/AtomicFile.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>

namespace {

QJsonObject readAll(const QString& file) {
    QFile f(file);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return QJsonDocument::fromJson(f.readAll()).object();
}

} // namespace

std::optional<SyncAnchorStore::Entry> SyncAnchorStore::get(const QString& container) const {
    const QJsonValue stored = readAll(file_).value(container);
    if (!stored.isObject() || !stored.toObject().value("anchor").isString())
        return std::nullopt;
    const QJsonObject o = stored.toObject();
    return Entry{QByteArray::fromBase64(o.value("anchor").toString().toLatin1()),
                 o.value("signalGeneration").toInteger()};
}

bool SyncAnchorStore::set(const QString& container, const Entry& entry) {
    QJsonObject all = readAll(file_);
    all.insert(container, QJsonObject{{"anchor", QString::fromLatin1(entry.anchor.toBase64())},
                                      {"signalGeneration", entry.signalGeneration}});
    return AtomicFile::write(file_, QJsonDocument(all).toJson());
}
