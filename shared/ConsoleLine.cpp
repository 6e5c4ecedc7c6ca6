#include "shared/ConsoleLine.h"

#include <cstdio>

namespace ConsoleLine {

void print(const QString& tag, const QString& text) {
    const QByteArray line = ('[' + tag + QStringLiteral("] ") + text + '\n').toUtf8();
    std::fwrite(line.constData(), 1, size_t(line.size()), stdout);
    std::fflush(stdout);
}

void app(const QString& text) {
    print(QStringLiteral("Kelvane"), text);
}

} // namespace ConsoleLine
