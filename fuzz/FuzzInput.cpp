#include "fuzz/FuzzInput.h"

#include <cstdio>
#include <cstdlib>
#include <sys/mman.h>
#include <unistd.h>

namespace FuzzInput {

QByteArray bytes(const std::uint8_t* data, std::size_t size) {
    return QByteArray(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
}

std::vector<std::string> arguments(const std::uint8_t* data, std::size_t size) {
    std::vector<std::string> args(1);
    for (std::size_t i = 0; i < size; ++i) {
        if (data[i] == 0)
            args.emplace_back();
        else
            args.back().push_back(static_cast<char>(data[i]));
    }
    if (size == 0)
        args.clear();
    return args;
}

QString fileHolding(const QByteArray& content) {
    static const int fd = memfd_create("kelvane-fuzz-input", MFD_CLOEXEC);
    require(fd >= 0, "memfd_create failed");
    require(ftruncate(fd, 0) == 0, "ftruncate failed");
    require(pwrite(fd, content.constData(), static_cast<std::size_t>(content.size()), 0) ==
                content.size(),
            "pwrite failed");
    return QStringLiteral("/proc/self/fd/%1").arg(fd);
}

void useScratchHome() {
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/kelvane-fuzz-home-XXXXXX";
    require(mkdtemp(pattern.data()) != nullptr, "mkdtemp failed");
    setenv("HOME", pattern.c_str(), 1);
}

void require(bool condition, const char* what) {
    if (condition)
        return;
    std::fprintf(stderr, "property failed: %s\n", what);
    std::abort();
}

} // namespace FuzzInput
