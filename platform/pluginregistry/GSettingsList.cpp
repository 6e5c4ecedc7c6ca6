#include "platform/pluginregistry/GSettingsList.h"

namespace GSettingsList {

std::optional<QStringList> parse(const QString& text) {
    QString rest = text.trimmed();
    if (rest.startsWith(QLatin1String("@as")))
        rest = rest.mid(3).trimmed();
    if (!rest.startsWith(QLatin1Char('[')) || !rest.endsWith(QLatin1Char(']')))
        return std::nullopt;
    QStringList items;
    qsizetype i = 1;
    const qsizetype end = rest.size() - 1;
    auto skipBlanks = [&] {
        while (i < end && rest.at(i).isSpace())
            ++i;
    };
    skipBlanks();
    while (i < end) {
        const QChar quote = rest.at(i);
        if (quote != QLatin1Char('\'') && quote != QLatin1Char('"'))
            return std::nullopt;
        QString item;
        for (++i; i < end && rest.at(i) != quote; ++i) {
            if (rest.at(i) == QLatin1Char('\\') && i + 1 < end)
                ++i;
            item += rest.at(i);
        }
        if (i >= end)
            return std::nullopt;
        items.append(item);
        ++i;
        skipBlanks();
        if (i < end && rest.at(i) == QLatin1Char(',')) {
            ++i;
            skipBlanks();
        } else if (i < end) {
            return std::nullopt;
        }
    }
    return items;
}

QString format(const QStringList& items) {
    QStringList quoted;
    for (QString item : items) {
        item.replace(QLatin1Char('\\'), QLatin1String("\\\\"));
        item.replace(QLatin1Char('\''), QLatin1String("\\'"));
        quoted.append(QLatin1Char('\'') + item + QLatin1Char('\''));
    }
    return QLatin1Char('[') + quoted.join(QLatin1String(", ")) + QLatin1Char(']');
}

} // namespace GSettingsList
