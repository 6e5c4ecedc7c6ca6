// invalidation-token.txt as the extension reads it, and the token text the application writes.
#include "fuzz/FuzzInput.h"
#include "shared/InvalidationToken.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <cstring>

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    FuzzInput::useScratchHome();
    QDir().mkpath(QFileInfo(InvalidationToken::file()).path());
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    {
        QFile out(InvalidationToken::file());
        FuzzInput::require(out.open(QIODevice::WriteOnly | QIODevice::Truncate),
                           "token file opens");
        out.write(FuzzInput::bytes(data, size));
    }
    const QString token = InvalidationToken::read();
    FuzzInput::require(!token.isEmpty() && token == token.trimmed(), "a token is trimmed text");

    qint64 clock = 0;
    std::memcpy(&clock, data, std::min(size, sizeof clock));
    const QString written = InvalidationToken::format(clock);
    bool digitsOnly = !written.isEmpty() && (written == u"0" || written[0] != u'0');
    for (const QChar c : written)
        digitsOnly = digitsOnly && c >= u'0' && c <= u'9';
    FuzzInput::require(digitsOnly, "a written token is digits without leading zeros");
    return 0;
}
