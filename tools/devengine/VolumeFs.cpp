#include "tools/devengine/VolumeFs.h"

#include "tools/devengine/OpenFile.h"
#include "tools/devengine/StagingArea.h"
#include "tools/devengine/StatsReport.h"
#include "tools/devengine/Uploader.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

namespace {

OpenFile* handle(const fuse_file_info* fi) {
    return fi ? reinterpret_cast<OpenFile*>(fi->fh) : nullptr;
}

int result(int rc) {
    return rc == 0 ? 0 : -errno;
}

FileKey keyOf(const struct stat& st) {
    return FileKey{st.st_dev, st.st_ino};
}

// The kernel's O_TRUNC and O_APPEND are ours to apply; the backing descriptor must not.
int backingFlags(int flags) {
    flags &= ~(O_APPEND | O_TRUNC | O_CREAT | O_EXCL | O_NOCTTY);
    if ((flags & O_ACCMODE) != O_RDONLY)
        flags = (flags & ~O_ACCMODE) | O_RDWR; // copy-on-write reads the blocks it changes
    return flags | O_CLOEXEC;
}

// A name whose last link is about to go: its staged data must go with it.
std::optional<FileKey> lastLink(const std::string& path) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode) || st.st_nlink != 1)
        return std::nullopt;
    return keyOf(st);
}

} // namespace

VolumeFs::VolumeFs(const MountConfig& config, StagingArea& staging, const Uploader& uploader,
                   std::function<void()> onReady)
    : config_(config), staging_(staging), uploader_(uploader), onReady_(std::move(onReady)),
      started_(std::chrono::steady_clock::now()) {
    clock_gettime(CLOCK_REALTIME, &startedWall_);
}

bool VolumeFs::isStats(const char* path) {
    return std::strcmp(path, kStatsPath) == 0;
}

void* VolumeFs::init(fuse_conn_info*, fuse_config* cfg) {
    cfg->attr_timeout = config_.attrTimeout;
    cfg->entry_timeout = config_.entryTimeout;
    cfg->negative_timeout = config_.negativeTimeout;
    cfg->hard_remove = 0;
    cfg->use_ino = 0;
    if (onReady_)
        onReady_();
    return this;
}

std::string VolumeFs::statsText() const {
    StatsReport::Inputs in;
    in.staging = staging_.snapshot();
    in.uploading = uploader_.uploading();
    in.putBytes = uploader_.putBytes();
    in.putRequests = uploader_.putRequests();
    in.uploadFailures = uploader_.failures();
    in.uptimeSeconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started_).count();
    in.pid = ::getpid();
    return StatsReport::render(in);
}

void VolumeFs::statsAttributes(struct stat* st) const {
    *st = {};
    st->st_mode = S_IFREG | 0444;
    st->st_nlink = 1;
    st->st_uid = ::getuid();
    st->st_gid = ::getgid();
    st->st_atim = st->st_mtim = st->st_ctim = startedWall_;
}

void VolumeFs::applyView(struct stat* st) const {
    if (!S_ISREG(st->st_mode))
        return;
    if (const auto view = staging_.view(keyOf(*st))) {
        st->st_size = static_cast<off_t>(view->size);
        st->st_blocks = static_cast<blkcnt_t>((view->size + 511) / 512);
        if (view->mtime)
            st->st_mtim = *view->mtime;
    }
}

int VolumeFs::getattr(const char* path, struct stat* st, fuse_file_info* fi) {
    if (isStats(path)) {
        statsAttributes(st);
        return 0;
    }
    const OpenFile* open = handle(fi);
    const int rc = open && !open->stats ? ::fstat(open->fd, st) : ::lstat(real(path).c_str(), st);
    if (rc != 0)
        return -errno;
    applyView(st);
    return 0;
}

int VolumeFs::readlink(const char* path, char* out, std::size_t size) {
    const ssize_t n = ::readlink(real(path).c_str(), out, size - 1);
    if (n < 0)
        return -errno;
    out[n] = '\0';
    return 0;
}

int VolumeFs::mkdir(const char* path, mode_t mode) {
    return isStats(path) ? -EEXIST : result(::mkdir(real(path).c_str(), mode));
}

int VolumeFs::unlink(const char* path) {
    if (isStats(path))
        return -EPERM;
    const auto doomed = lastLink(real(path));
    if (::unlink(real(path).c_str()) != 0)
        return -errno;
    if (doomed)
        staging_.discard(*doomed);
    return 0;
}

int VolumeFs::rmdir(const char* path) {
    return result(::rmdir(real(path).c_str()));
}

int VolumeFs::symlink(const char* target, const char* path) {
    return isStats(path) ? -EEXIST : result(::symlink(target, real(path).c_str()));
}

int VolumeFs::rename(const char* from, const char* to, unsigned int flags) {
    if (isStats(from) || isStats(to))
        return -EPERM;
    const auto replaced = (flags & RENAME_EXCHANGE) ? std::nullopt : lastLink(real(to));
    struct stat source {};
    if (::lstat(real(from).c_str(), &source) != 0)
        return -errno;
    if (::renameat2(AT_FDCWD, real(from).c_str(), AT_FDCWD, real(to).c_str(), flags) != 0)
        return -errno;
    if (replaced && *replaced != keyOf(source))
        staging_.discard(*replaced);
    staging_.renamed(from, to, flags & RENAME_EXCHANGE);
    return 0;
}

int VolumeFs::chmod(const char* path, mode_t mode, fuse_file_info* fi) {
    if (isStats(path))
        return -EPERM;
    const OpenFile* open = handle(fi);
    return result(open ? ::fchmod(open->fd, mode) : ::chmod(real(path).c_str(), mode));
}

int VolumeFs::chown(const char* path, uid_t uid, gid_t gid, fuse_file_info*) {
    return isStats(path) ? -EPERM : result(::lchown(real(path).c_str(), uid, gid));
}

int VolumeFs::truncate(const char* path, off_t size, fuse_file_info* fi) {
    if (isStats(path))
        return -EPERM;
    if (const OpenFile* open = handle(fi))
        return staging_.truncate(open->key, open->fd, static_cast<std::uint64_t>(size));
    const int fd = ::open(real(path).c_str(), O_RDWR | O_CLOEXEC);
    if (fd < 0)
        return -errno;
    struct stat st {};
    int rc = ::fstat(fd, &st) == 0 ? 0 : -errno;
    if (rc == 0)
        rc = staging_.truncate(keyOf(st), fd, static_cast<std::uint64_t>(size));
    ::close(fd);
    return rc;
}

int VolumeFs::openBacking(const char* path, int flags, mode_t mode, fuse_file_info* fi) {
    int fd = ::open(real(path).c_str(), backingFlags(flags) | (flags & (O_CREAT | O_EXCL)), mode);
    if (fd < 0 && errno == EACCES && (flags & O_ACCMODE) == O_WRONLY)
        fd = ::open(real(path).c_str(),
                    (backingFlags(flags) & ~O_ACCMODE) | O_WRONLY | (flags & (O_CREAT | O_EXCL)),
                    mode);
    if (fd < 0)
        return -errno;
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        const int err = errno;
        ::close(fd);
        return -err;
    }
    auto* open = new OpenFile;
    open->fd = fd;
    open->key = keyOf(st);
    if (flags & O_TRUNC) {
        if (const int err = staging_.truncate(open->key, fd, 0); err < 0) {
            ::close(fd);
            delete open;
            return err;
        }
    }
    fi->fh = reinterpret_cast<std::uint64_t>(open);
    return 0;
}

int VolumeFs::open(const char* path, fuse_file_info* fi) {
    if (!isStats(path))
        return openBacking(path, fi->flags, 0, fi);
    if ((fi->flags & O_ACCMODE) != O_RDONLY)
        return -EACCES;
    auto* open = new OpenFile;
    open->stats = true;
    open->text = statsText();
    fi->fh = reinterpret_cast<std::uint64_t>(open);
    fi->direct_io = 1; // the size is unknown up front; every read must reach us
    return 0;
}

int VolumeFs::create(const char* path, mode_t mode, fuse_file_info* fi) {
    return isStats(path) ? -EEXIST : openBacking(path, fi->flags | O_CREAT, mode, fi);
}

int VolumeFs::read(const char*, char* out, std::size_t size, off_t offset, fuse_file_info* fi) {
    const OpenFile* open = handle(fi);
    if (!open->stats)
        return static_cast<int>(
            staging_.read(open->key, open->fd, out, size, static_cast<std::uint64_t>(offset)));
    if (static_cast<std::size_t>(offset) >= open->text.size())
        return 0;
    const std::size_t n = std::min(size, open->text.size() - static_cast<std::size_t>(offset));
    std::memcpy(out, open->text.data() + offset, n);
    return static_cast<int>(n);
}

int VolumeFs::write(const char* path, const char* data, std::size_t size, off_t offset,
                    fuse_file_info* fi) {
    const OpenFile* open = handle(fi);
    if (open->stats)
        return -EACCES;
    return static_cast<int>(staging_.write(open->key, open->fd, path ? path : "", data, size,
                                           static_cast<std::uint64_t>(offset)));
}

int VolumeFs::statfs(const char*, struct statvfs* st) {
    return result(::statvfs(config_.backingFolder.c_str(), st));
}

// Write-back: close and fsync make the data durable in the staging folder, as JuiceFS's
// --writeback does; the upload follows later, even after a crash (by the next mount).
int VolumeFs::flush(const char*, fuse_file_info* fi) {
    const OpenFile* open = handle(fi);
    return open->stats ? 0 : staging_.commit(open->key);
}

int VolumeFs::release(const char*, fuse_file_info* fi) {
    OpenFile* open = handle(fi);
    int rc = 0;
    if (!open->stats) {
        rc = staging_.commit(open->key);
        ::close(open->fd);
    }
    delete open;
    return rc;
}

int VolumeFs::fsync(const char*, int, fuse_file_info* fi) {
    const OpenFile* open = handle(fi);
    return open->stats ? 0 : staging_.commit(open->key);
}

int VolumeFs::readdir(const char* path, void* buf, fuse_fill_dir_t filler, off_t, fuse_file_info*,
                      fuse_readdir_flags) {
    DIR* dir = ::opendir(real(path).c_str());
    if (!dir)
        return -errno;
    while (const dirent* entry = ::readdir(dir))
        if (filler(buf, entry->d_name, nullptr, 0, static_cast<fuse_fill_dir_flags>(0)) != 0)
            break;
    ::closedir(dir);
    return 0;
}

// fsync on a directory uploads everything staged; the umount command relies on it.
// ECANCELED: the engine was told to stop without waiting, and the rest stays staged.
int VolumeFs::fsyncdir(const char*, int, fuse_file_info*) {
    return staging_.flushAll() ? 0 : -ECANCELED;
}

int VolumeFs::utimens(const char* path, const timespec tv[2], fuse_file_info*) {
    if (isStats(path))
        return -EPERM;
    if (::utimensat(AT_FDCWD, real(path).c_str(), tv, AT_SYMLINK_NOFOLLOW) != 0)
        return -errno;
    struct stat st {};
    if (tv[1].tv_nsec != UTIME_OMIT && ::lstat(real(path).c_str(), &st) == 0 && S_ISREG(st.st_mode))
        staging_.setMtime(keyOf(st), st.st_mtim);
    return 0;
}

int VolumeFs::access(const char* path, int mask) {
    if (isStats(path))
        return (mask & W_OK) ? -EACCES : 0;
    return result(::access(real(path).c_str(), mask));
}
