#include "app/activity/SourceSampler.h"

#include "app/activity/StatsParser.h"

#include <QFile>
#include <QStringDecoder>
#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

std::optional<SyncStatus> SourceSampler::readLedger(const QString& ledgerFile) {
    return SyncStatus::load(ledgerFile);
}

SourceSampler::StatsRead SourceSampler::readStats(const QString& path) {
    // Opened by hand: the errno says whether the drive's engine still answers.
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return {std::nullopt, errno};
    QFile file;
    if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return {};
    }
    // Virtual files report no size and may answer in pieces: read until the end, stopping one
    // byte past the limit. Pieces are small because each read reserves its whole length first.
    constexpr qint64 kPieceBytes = 64 * 1024;
    QByteArray bytes;
    while (bytes.size() <= kMaxStatsBytes) {
        const QByteArray piece =
            file.read(std::min<qint64>(kPieceBytes, kMaxStatsBytes + 1 - bytes.size()));
        if (piece.isEmpty())
            break;
        bytes += piece;
    }
    if (bytes.size() > kMaxStatsBytes || file.error() != QFileDevice::NoError)
        return {};
    QStringDecoder decoder(QStringDecoder::Utf8);
    const QString text = decoder.decode(bytes);
    if (decoder.hasError())
        return {};
    return {StatsParser::parse(text), 0};
}

bool SourceSampler::isDriveFailure(int openError) {
    return openError == ENOTCONN || openError == EIO || openError == ECONNABORTED;
}
