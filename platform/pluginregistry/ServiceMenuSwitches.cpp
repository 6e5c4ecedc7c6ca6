#include "platform/pluginregistry/ServiceMenuSwitches.h"

#include <QList>

namespace ServiceMenuSwitches {

namespace {

bool isGroupLine(const QByteArray& line) {
    return line.trimmed().startsWith('[');
}

bool isShowGroup(const QByteArray& line) {
    return line.trimmed() == "[Show]";
}

// The key of a "key=value" line, or nothing.
QByteArray keyOf(const QByteArray& line) {
    const qsizetype equals = line.indexOf('=');
    return equals < 0 ? QByteArray() : line.left(equals).trimmed();
}

bool isFalse(const QByteArray& line) {
    const QByteArray value = line.mid(line.indexOf('=') + 1).trimmed().toLower();
    return value == "false" || value == "0" || value == "no" || value == "off";
}

template <typename Visit> void forEachShowLine(const QList<QByteArray>& lines, Visit visit) {
    bool inShow = false;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        if (isGroupLine(lines.at(i)))
            inShow = isShowGroup(lines.at(i));
        else if (inShow)
            visit(i);
    }
}

} // namespace

bool anySwitchedOff(const QByteArray& file, const QStringList& keys) {
    const QList<QByteArray> lines = file.split('\n');
    bool off = false;
    forEachShowLine(lines, [&](qsizetype i) {
        off = off || (keys.contains(QString::fromUtf8(keyOf(lines.at(i)))) && isFalse(lines.at(i)));
    });
    return off;
}

QByteArray withKeysShown(const QByteArray& file, const QStringList& keys) {
    const QList<QByteArray> lines = file.split('\n');
    QList<bool> drop(lines.size(), false);
    forEachShowLine(lines, [&](qsizetype i) {
        drop[i] = keys.contains(QString::fromUtf8(keyOf(lines.at(i))));
    });
    QList<QByteArray> kept;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        if (!drop.at(i))
            kept.append(lines.at(i));
    }
    return kept.join('\n');
}

} // namespace ServiceMenuSwitches
