#include "app/shell/ByteCountText.h"

namespace ByteCountText {

namespace {

int decimalsFor(qint64 bytes) {
    if (bytes < 1'000'000)
        return 0;
    if (bytes < 1'000'000'000)
        return 1;
    return 2;
}

QString withoutTrailingZeros(QString text, const QLocale& locale) {
    const QString point = locale.decimalPoint();
    const qsizetype at = text.indexOf(point);
    if (at < 0)
        return text;
    qsizetype end = at + point.size();
    while (end < text.size() && text[end].isDigit())
        ++end;
    qsizetype cut = end;
    while (cut > at + point.size() && text[cut - 1] == QLatin1Char('0'))
        --cut;
    if (cut == at + point.size())
        cut = at;
    return text.left(cut) + text.mid(end);
}

} // namespace

QString fileStyle(qint64 bytes, const QLocale& locale) {
    if (bytes == 1)
        return QStringLiteral("1 byte");
    if (bytes < 1000)
        return locale.toString(bytes) + QStringLiteral(" bytes");
    return withoutTrailingZeros(
        locale.formattedDataSize(bytes, decimalsFor(bytes), QLocale::DataSizeSIFormat), locale);
}

} // namespace ByteCountText
