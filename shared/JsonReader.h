#pragma once

#include "shared/KelvaneError.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonObject>
#include <QMap>
#include <optional>

// A strict decoding failure; the message names the key and what was wrong with it.
class DecodingError : public KelvaneError {
public:
    explicit DecodingError(QString message) : message_(std::move(message)) {}
    QString description() const override { return message_; }

private:
    QString message_;
};

// Strict, typed access to one JSON object: a missing required key, a null or a value of the
// wrong type throws DecodingError. Optional readers accept an absent key (and null).
class JsonReader {
public:
    explicit JsonReader(QJsonObject object, QString context = {});

    static QJsonObject parseObject(const QByteArray& bytes);
    static QJsonArray parseArray(const QByteArray& bytes);

    QString string(const QString& key) const;
    qint64 int64(const QString& key) const;
    bool boolean(const QString& key) const;
    QJsonObject object(const QString& key) const;
    std::optional<QString> optionalString(const QString& key) const;
    std::optional<qint64> optionalInt64(const QString& key) const;
    std::optional<bool> optionalBoolean(const QString& key) const;
    std::optional<QMap<QString, QString>> optionalStringMap(const QString& key) const;
    std::optional<QStringList> optionalStringList(const QString& key) const;

private:
    QJsonValue required(const QString& key) const;
    [[noreturn]] void fail(const QString& key, const QString& expected, const QJsonValue& v) const;
    QJsonObject object_;
    QString context_;
};

// Describes a JSON value's type for messages ("a string", "null", ...).
QString jsonTypeName(const QJsonValue& value);

// The record T::fromJson makes of a whole file, or nothing when the file cannot be read or
// decoded: for files another program writes, which may be missing or half-formed.
template <typename T> std::optional<T> loadJsonFile(const QString& file) {
    QFile f(file);
    if (!f.open(QIODevice::ReadOnly))
        return std::nullopt;
    try {
        return T::fromJson(f.readAll());
    } catch (const DecodingError&) {
        return std::nullopt;
    }
}
