#pragma once

#include <QFile>
#include <QString>
#include <sys/mount.h>
#include <unistd.h>

// Makes a folder unwritable for this process for the life of the object: by its mode for an
// ordinary user, by a read-only bind mount of itself for root (whom modes do not stop). Check
// active() and skip when neither worked.
class ReadOnlyFolder {
public:
    explicit ReadOnlyFolder(QString path) : path_(std::move(path)) {
        if (::geteuid() != 0) {
            previous_ = QFile::permissions(path_);
            active_ = QFile::setPermissions(path_, QFileDevice::ReadOwner | QFileDevice::ExeOwner);
            return;
        }
        const QByteArray native = QFile::encodeName(path_);
        if (::mount(native.constData(), native.constData(), nullptr, MS_BIND, nullptr) != 0)
            return;
        bound_ = true;
        active_ = ::mount(nullptr, native.constData(), nullptr, MS_BIND | MS_REMOUNT | MS_RDONLY,
                          nullptr) == 0;
    }
    ~ReadOnlyFolder() {
        if (bound_)
            ::umount2(QFile::encodeName(path_).constData(), MNT_DETACH);
        else if (active_)
            QFile::setPermissions(path_, previous_);
    }
    ReadOnlyFolder(const ReadOnlyFolder&) = delete;
    ReadOnlyFolder& operator=(const ReadOnlyFolder&) = delete;

    bool active() const { return active_; }

private:
    QString path_;
    QFileDevice::Permissions previous_;
    bool bound_ = false;
    bool active_ = false;
};
