#include "app/import/SyncMetrics.h"

#include <QStringDecoder>

namespace SyncMetrics {

std::optional<Values> parse(const QByteArray& body) {
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = utf8.decode(body);
    if (utf8.hasError())
        return std::nullopt;
    Values values;
    for (const QStringView line : QStringView(text).split(u'\n', Qt::SkipEmptyParts)) {
        if (!line.startsWith(u"juicefs_sync_"))
            continue;
        const qsizetype brace = line.indexOf(u'{');
        if (brace < 0)
            continue;
        bool ok = false;
        const double value = line.mid(line.lastIndexOf(u' ') + 1).toDouble(&ok);
        if (!ok)
            continue;
        values.insert(line.left(brace).toString(), value);
    }
    return values;
}

} // namespace SyncMetrics
