#include "shared/JsonReader.h"

#include <QJsonDocument>
#include <QJsonParseError>
#include <cmath>

QString jsonTypeName(const QJsonValue& value) {
    switch (value.type()) {
    case QJsonValue::Null:
        return QStringLiteral("null");
    case QJsonValue::Bool:
        return QStringLiteral("a boolean");
    case QJsonValue::Double:
        return QStringLiteral("a number");
    case QJsonValue::String:
        return QStringLiteral("a string");
    case QJsonValue::Array:
        return QStringLiteral("an array");
    case QJsonValue::Object:
        return QStringLiteral("an object");
    case QJsonValue::Undefined:
        break;
    }
    return QStringLiteral("nothing");
}

static QJsonDocument parseDocument(const QByteArray& bytes) {
    QJsonParseError error{};
    QJsonDocument doc = QJsonDocument::fromJson(bytes, &error);
    if (error.error != QJsonParseError::NoError)
        throw DecodingError(QStringLiteral("the data is not valid JSON (%1 at offset %2)")
                                .arg(error.errorString())
                                .arg(error.offset));
    return doc;
}

QJsonObject JsonReader::parseObject(const QByteArray& bytes) {
    const QJsonDocument doc = parseDocument(bytes);
    if (!doc.isObject())
        throw DecodingError(QStringLiteral("expected a JSON object at the top level"));
    return doc.object();
}

QJsonArray JsonReader::parseArray(const QByteArray& bytes) {
    const QJsonDocument doc = parseDocument(bytes);
    if (!doc.isArray())
        throw DecodingError(QStringLiteral("expected a JSON array at the top level"));
    return doc.array();
}

JsonReader::JsonReader(QJsonObject object, QString context)
    : object_(std::move(object)), context_(std::move(context)) {}

void JsonReader::fail(const QString& key, const QString& expected, const QJsonValue& v) const {
    const QString where = context_.isEmpty() ? QString() : context_ + QStringLiteral(": ");
    if (v.isUndefined())
        throw DecodingError(where + QStringLiteral("key \"%1\" not found").arg(key));
    throw DecodingError(
        where +
        QStringLiteral("key \"%1\": expected %2, found %3").arg(key, expected, jsonTypeName(v)));
}

QJsonValue JsonReader::required(const QString& key) const {
    const QJsonValue v = object_.value(key);
    if (v.isUndefined())
        fail(key, QString(), v);
    return v;
}

QString JsonReader::string(const QString& key) const {
    const QJsonValue v = required(key);
    if (!v.isString())
        fail(key, QStringLiteral("a string"), v);
    return v.toString();
}

static std::optional<qint64> exactInteger(const QJsonValue& v) {
    if (!v.isDouble())
        return std::nullopt;
    // Integers that fit are kept exactly by the parser; toInteger() yields them unrounded.
    const qint64 sentinel = std::numeric_limits<qint64>::min();
    const qint64 i = v.toInteger(sentinel);
    if (i != sentinel)
        return i;
    const double d = v.toDouble();
    if (d == static_cast<double>(sentinel))
        return sentinel;
    return std::nullopt;
}

qint64 JsonReader::int64(const QString& key) const {
    const QJsonValue v = required(key);
    const auto i = exactInteger(v);
    if (!i)
        fail(key, QStringLiteral("a 64-bit integer"), v);
    return *i;
}

bool JsonReader::boolean(const QString& key) const {
    const QJsonValue v = required(key);
    if (!v.isBool())
        fail(key, QStringLiteral("a boolean"), v);
    return v.toBool();
}

QJsonObject JsonReader::object(const QString& key) const {
    const QJsonValue v = required(key);
    if (!v.isObject())
        fail(key, QStringLiteral("an object"), v);
    return v.toObject();
}

std::optional<QString> JsonReader::optionalString(const QString& key) const {
    const QJsonValue v = object_.value(key);
    if (v.isUndefined() || v.isNull())
        return std::nullopt;
    if (!v.isString())
        fail(key, QStringLiteral("a string"), v);
    return v.toString();
}

std::optional<qint64> JsonReader::optionalInt64(const QString& key) const {
    const QJsonValue v = object_.value(key);
    if (v.isUndefined() || v.isNull())
        return std::nullopt;
    return int64(key);
}

std::optional<bool> JsonReader::optionalBoolean(const QString& key) const {
    const QJsonValue v = object_.value(key);
    if (v.isUndefined() || v.isNull())
        return std::nullopt;
    return boolean(key);
}

std::optional<QMap<QString, QString>> JsonReader::optionalStringMap(const QString& key) const {
    const QJsonValue v = object_.value(key);
    if (v.isUndefined() || v.isNull())
        return std::nullopt;
    if (!v.isObject())
        fail(key, QStringLiteral("an object of strings"), v);
    QMap<QString, QString> map;
    const QJsonObject o = v.toObject();
    for (auto it = o.begin(); it != o.end(); ++it) {
        if (!it.value().isString())
            fail(key + "." + it.key(), QStringLiteral("a string"), it.value());
        map.insert(it.key(), it.value().toString());
    }
    return map;
}

std::optional<QStringList> JsonReader::optionalStringList(const QString& key) const {
    const QJsonValue v = object_.value(key);
    if (v.isUndefined() || v.isNull())
        return std::nullopt;
    if (!v.isArray())
        fail(key, QStringLiteral("an array of strings"), v);
    QStringList list;
    const QJsonArray a = v.toArray();
    for (qsizetype i = 0; i < a.size(); ++i) {
        if (!a.at(i).isString())
            fail(QStringLiteral("%1[%2]").arg(key).arg(i), QStringLiteral("a string"), a.at(i));
        list.append(a.at(i).toString());
    }
    return list;
}
