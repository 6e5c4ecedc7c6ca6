#include "shared/InvalidationToken.h"

#include "platform/AtomicFile.h"
#include "platform/Paths.h"
#include "shared/Identifiers.h"

#include <QFile>
#include <QStringDecoder>
#include <algorithm>

namespace InvalidationToken {

QString file() {
    return Paths::extensionSupportDir(Identifiers::kFileProvider) +
           QStringLiteral("/invalidation-token.txt");
}

QString format(qint64 millisecondsSinceEpoch) {
    // The reader expects digits only; a clock set before 1970 must not write a sign.
    return QString::number(std::max<qint64>(millisecondsSinceEpoch, 0));
}

bool write(qint64 millisecondsSinceEpoch) {
    return AtomicFile::write(file(), format(millisecondsSinceEpoch).toUtf8());
}

QString read() {
    static const QString initial = QStringLiteral("initial");
    QFile f(file());
    if (!f.open(QIODevice::ReadOnly))
        return initial;
    QStringDecoder decoder(QStringDecoder::Utf8);
    const QString text = decoder.decode(f.readAll());
    if (decoder.hasError())
        return initial;
    const QString token = text.trimmed();
    return token.isEmpty() ? initial : token;
}

} // namespace InvalidationToken
