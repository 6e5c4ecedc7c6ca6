#include "shared/Iso8601.h"

#include <QRegularExpression>
#include <QTimeZone>

namespace Iso8601 {

QString format(const QDateTime& time) {
    return time.toUTC().toString(QStringLiteral("yyyy-MM-dd'T'HH:mm:ss'Z'"));
}

std::optional<QDateTime> parse(const QString& text) {
    static const QRegularExpression pattern(
        QStringLiteral("^\\d{4}-\\d{2}-\\d{2}T\\d{2}:\\d{2}:\\d{2}(Z|[+-]\\d{2}:\\d{2})$"));
    if (!pattern.match(text).hasMatch())
        return std::nullopt;
    const QDateTime time = QDateTime::fromString(text, Qt::ISODate).toUTC();
    // An offset can carry the time out of the four-digit years ("9999-12-31T23:59:59-01:00"),
    // which format() could not write in a form this reads back.
    if (!time.isValid() || time.date().year() < 1 || time.date().year() > 9999)
        return std::nullopt;
    return time;
}

} // namespace Iso8601
