#include "app/views/tray/TrayTooltip.h"

#include "app/shell/ByteCountText.h"

#include <cmath>

QString trayTooltip(const ActivityFacts& facts) {
    if (!facts.syncing)
        return QStringLiteral("Kelvane");
    if (facts.uploadBacklogBytes >= 1) {
        QString text = QStringLiteral("Kelvane — uploading ") +
                       ByteCountText::fileStyle(facts.uploadBacklogBytes);
        if (facts.uploadETA && *facts.uploadETA > 60)
            text += QStringLiteral(", about ") +
                    QString::number(qint64(std::round(*facts.uploadETA / 60))) +
                    QStringLiteral(" min left");
        return text;
    }
    if (facts.juicefsUploading >= 1 || facts.juicefsStaging >= 1)
        return QStringLiteral("Kelvane — uploading…");
    if (facts.juicefsDownloading)
        return QStringLiteral("Kelvane — downloading…");
    return QStringLiteral("Kelvane — syncing…");
}
