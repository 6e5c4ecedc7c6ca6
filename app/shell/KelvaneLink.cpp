#include "app/shell/KelvaneLink.h"

#include <QRegularExpression>
#include <QStringDecoder>

namespace KelvaneLink {

namespace {

int hexValue(QChar c) {
    if (c >= QLatin1Char('0') && c <= QLatin1Char('9'))
        return c.unicode() - '0';
    if (c >= QLatin1Char('a') && c <= QLatin1Char('f'))
        return c.unicode() - 'a' + 10;
    if (c >= QLatin1Char('A') && c <= QLatin1Char('F'))
        return c.unicode() - 'A' + 10;
    return -1;
}

struct Parts {
    QString host;
    QString path;
};

// QUrl lower-cases hosts, and a filespace named "Team" must stay "Team", so the authority and
// path are cut out of the text itself once QUrl has accepted it as a URL.
Parts split(const QString& afterScheme) {
    QString rest = afterScheme;
    const qsizetype end = rest.indexOf(QRegularExpression(QStringLiteral("[?#]")));
    if (end >= 0)
        rest.truncate(end);
    Parts parts;
    if (!rest.startsWith(QLatin1String("//"))) {
        parts.path = rest;
        return parts;
    }
    rest.remove(0, 2);
    const qsizetype slash = rest.indexOf(QLatin1Char('/'));
    QString authority = slash < 0 ? rest : rest.left(slash);
    parts.path = slash < 0 ? QString() : rest.mid(slash);
    if (const qsizetype at = authority.lastIndexOf(QLatin1Char('@')); at >= 0)
        authority.remove(0, at + 1);
    if (const qsizetype colon = authority.lastIndexOf(QLatin1Char(':')); colon >= 0)
        authority.truncate(colon);
    parts.host = authority;
    return parts;
}

// What a URL parser accepts: no spaces, controls or characters URLs never carry unencoded.
bool isURLText(const QString& text) {
    static const QRegularExpression forbidden(QStringLiteral("[\\x00-\\x20\\x7F<>\"{}|\\\\^`]"));
    return !forbidden.match(text).hasMatch();
}

} // namespace

std::optional<QString> removingPercentEncoding(const QString& text) {
    QByteArray bytes;
    bytes.reserve(text.size());
    const QByteArray utf8 = text.toUtf8();
    for (qsizetype i = 0; i < utf8.size(); ++i) {
        if (utf8[i] != '%') {
            bytes += utf8[i];
            continue;
        }
        if (i + 2 >= utf8.size())
            return std::nullopt;
        const int high = hexValue(QLatin1Char(utf8[i + 1]));
        const int low = hexValue(QLatin1Char(utf8[i + 2]));
        if (high < 0 || low < 0)
            return std::nullopt;
        bytes += char(high * 16 + low);
        i += 2;
    }
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString decoded = decoder.decode(bytes);
    if (decoder.hasError())
        return std::nullopt;
    return decoded;
}

std::optional<QString> workspacePath(const QString& text) {
    const qsizetype colon = text.indexOf(QLatin1Char(':'));
    if (colon <= 0 || text.left(colon) != kScheme)
        return std::nullopt;
    if (!isURLText(text))
        return std::nullopt;
    const Parts parts = split(text.mid(colon + 1));
    QString path;
    if (parts.host == QLatin1String("open"))
        path = parts.path;
    else if (!parts.host.isEmpty())
        path = QLatin1Char('/') + parts.host + parts.path;
    else
        path = parts.path;
    return removingPercentEncoding(path).value_or(path);
}

} // namespace KelvaneLink
