#include "platform/findersync/FinderSyncController.h"

#include <QFile>

void FinderSyncController::setDirectoryURLs(const QSet<QString>& folders) {
    directories_ = folders;
    emit directoryURLsChanged();
}

bool FinderSyncController::covers(const QByteArray& item) const {
    for (const QString& folder : directories_) {
        const QByteArray native = QFile::encodeName(folder);
        if (item == native || item.startsWith(native.endsWith('/') ? native : native + '/'))
            return true;
    }
    return false;
}
