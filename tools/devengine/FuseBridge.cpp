#include "tools/devengine/FuseBridge.h"

#include <cerrno>
#include <new>

namespace FuseBridge {

namespace {

VolumeFs& fs() {
    return *static_cast<VolumeFs*>(fuse_get_context()->private_data);
}

// No exception may cross into libfuse's C code: it becomes an error for this request only.
template <typename Operation> int guarded(Operation&& operation) noexcept {
    try {
        return operation();
    } catch (const std::bad_alloc&) {
        return -ENOMEM;
    } catch (...) {
        return -EIO;
    }
}

} // namespace

fuse_operations operations() {
    fuse_operations ops{};
    ops.init = [](fuse_conn_info* conn, fuse_config* cfg) -> void* {
        // Before init returns, private_data is still the pointer given to fuse_new.
        return static_cast<VolumeFs*>(fuse_get_context()->private_data)->init(conn, cfg);
    };
    ops.getattr = [](const char* p, struct stat* st, fuse_file_info* fi) {
        return guarded([&] { return fs().getattr(p, st, fi); });
    };
    ops.readlink = [](const char* p, char* out, size_t n) {
        return guarded([&] { return fs().readlink(p, out, n); });
    };
    ops.mkdir = [](const char* p, mode_t m) { return guarded([&] { return fs().mkdir(p, m); }); };
    ops.unlink = [](const char* p) { return guarded([&] { return fs().unlink(p); }); };
    ops.rmdir = [](const char* p) { return guarded([&] { return fs().rmdir(p); }); };
    ops.symlink = [](const char* t, const char* p) {
        return guarded([&] { return fs().symlink(t, p); });
    };
    ops.rename = [](const char* a, const char* b, unsigned int f) {
        return guarded([&] { return fs().rename(a, b, f); });
    };
    ops.chmod = [](const char* p, mode_t m, fuse_file_info* fi) {
        return guarded([&] { return fs().chmod(p, m, fi); });
    };
    ops.chown = [](const char* p, uid_t u, gid_t g, fuse_file_info* fi) {
        return guarded([&] { return fs().chown(p, u, g, fi); });
    };
    ops.truncate = [](const char* p, off_t s, fuse_file_info* fi) {
        return guarded([&] { return fs().truncate(p, s, fi); });
    };
    ops.open = [](const char* p, fuse_file_info* fi) {
        return guarded([&] { return fs().open(p, fi); });
    };
    ops.create = [](const char* p, mode_t m, fuse_file_info* fi) {
        return guarded([&] { return fs().create(p, m, fi); });
    };
    ops.read = [](const char* p, char* b, size_t n, off_t o, fuse_file_info* fi) {
        return guarded([&] { return fs().read(p, b, n, o, fi); });
    };
    ops.write = [](const char* p, const char* b, size_t n, off_t o, fuse_file_info* fi) {
        return guarded([&] { return fs().write(p, b, n, o, fi); });
    };
    ops.statfs = [](const char* p, struct statvfs* st) {
        return guarded([&] { return fs().statfs(p, st); });
    };
    ops.flush = [](const char* p, fuse_file_info* fi) {
        return guarded([&] { return fs().flush(p, fi); });
    };
    ops.release = [](const char* p, fuse_file_info* fi) {
        return guarded([&] { return fs().release(p, fi); });
    };
    ops.fsync = [](const char* p, int d, fuse_file_info* fi) {
        return guarded([&] { return fs().fsync(p, d, fi); });
    };
    ops.readdir = [](const char* p, void* b, fuse_fill_dir_t f, off_t o, fuse_file_info* fi,
                     fuse_readdir_flags fl) {
        return guarded([&] { return fs().readdir(p, b, f, o, fi, fl); });
    };
    ops.fsyncdir = [](const char* p, int d, fuse_file_info* fi) {
        return guarded([&] { return fs().fsyncdir(p, d, fi); });
    };
    ops.utimens = [](const char* p, const timespec tv[2], fuse_file_info* fi) {
        return guarded([&] { return fs().utimens(p, tv, fi); });
    };
    ops.access = [](const char* p, int m) { return guarded([&] { return fs().access(p, m); }); };
    return ops;
}

} // namespace FuseBridge
