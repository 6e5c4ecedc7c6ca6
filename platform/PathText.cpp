#include "platform/PathText.h"

#include <QStringList>

namespace PathText {

QString cleanAbsolute(const QString& path) {
    QStringList kept;
    for (const QString& step : path.split(QLatin1Char('/'), Qt::SkipEmptyParts)) {
        if (step == QLatin1String("..")) {
            if (!kept.isEmpty())
                kept.removeLast();
        } else if (step != QLatin1String(".")) {
            kept.append(step);
        }
    }
    return QLatin1Char('/') + kept.join(QLatin1Char('/'));
}

} // namespace PathText
