#pragma once

#include "platform/MountTable.h"

#include <QFile>
#include <QString>
#include <sys/mount.h>

// Mounts one folder over another for the life of the object (needs root); check active().
class BindMount {
public:
    BindMount(const QString& source, QString target) : target_(std::move(target)) {
        active_ = ::mount(QFile::encodeName(source).constData(),
                          QFile::encodeName(target_).constData(), nullptr, MS_BIND, nullptr) == 0;
    }
    // Detaches whatever is still stacked on the target too, so nothing outlives the test.
    ~BindMount() {
        if (!active_)
            return;
        for (int layer = 0; layer < 8 && MountTable::find(MountTable::read(), target_); ++layer)
            ::umount2(QFile::encodeName(target_).constData(), MNT_DETACH);
    }
    BindMount(const BindMount&) = delete;
    BindMount& operator=(const BindMount&) = delete;

    bool active() const { return active_; }

private:
    QString target_;
    bool active_ = false;
};
