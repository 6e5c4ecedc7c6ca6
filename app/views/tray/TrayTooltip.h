#pragma once

#include <QString>
#include <optional>

// What the tray's tooltip says about the drives' activity.
struct ActivityFacts {
    bool syncing = false;
    qint64 uploadBacklogBytes = 0;
    std::optional<double> uploadETA;
    qint64 juicefsUploading = 0;
    qint64 juicefsStaging = 0;
    bool juicefsDownloading = false;
};

// "Kelvane" at rest; "Kelvane — uploading 5 MB, about 3 min left" and its shorter forms while
// data moves.
QString trayTooltip(const ActivityFacts& facts);
