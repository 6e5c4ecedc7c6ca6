#include "tools/devengine/StagingRecovery.h"

#include "tools/devengine/Crc32.h"
#include "tools/devengine/FileIo.h"

#include <algorithm>
#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <filesystem>
#include <map>
#include <sys/stat.h>
#include <unistd.h>

namespace {

using StagingFormat::Entry;

constexpr std::uint64_t kLargestBlock = 256ull << 20;
// A file that was unlinked while open: libfuse renamed it so, and the crash kept the release
// that deletes it from happening.
constexpr std::string_view kHiddenPrefix = ".fuse_hidden";

std::string readSmallFile(const std::string& path) {
    const FileIo::Descriptor in(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    struct stat st {};
    if (in.fd < 0 || ::fstat(in.fd, &st) != 0 || st.st_size > (1 << 20))
        return {};
    std::string bytes(static_cast<std::size_t>(st.st_size), '\0');
    const ssize_t got = FileIo::preadFull(in.fd, bytes.data(), bytes.size(), 0);
    bytes.resize(got < 0 ? 0 : static_cast<std::size_t>(got));
    return bytes;
}

bool sameFile(int fd, const StagingFormat::FileRecord& record) {
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_ino != record.ino)
        return false;
    const auto birth = FileIo::birthTime(fd);
    return !birth || !record.birth ||
           (birth->tv_sec == record.birth->tv_sec && birth->tv_nsec == record.birth->tv_nsec);
}

int openMatching(const std::string& path, const StagingFormat::FileRecord& record) {
    const int fd = ::open(path.c_str(), O_RDWR | O_NOFOLLOW | O_CLOEXEC);
    if (fd >= 0 && sameFile(fd, record))
        return fd;
    if (fd >= 0)
        ::close(fd);
    return -1;
}

bool isHiddenName(const std::string& path) {
    return std::filesystem::path(path).filename().string().rfind(kHiddenPrefix, 0) == 0;
}

} // namespace

// Per id: the record (if any) and its committed blocks.
struct StagingRecovery::Found {
    bool hasRecord = false;
    std::map<std::uint64_t, std::string> blocks; // index -> file name
};

bool StagingRecovery::verifyBlock(const std::string& path, std::uint64_t index,
                                  std::uint64_t blockSize, std::uint64_t& length) {
    const FileIo::Descriptor in(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    struct stat st {};
    if (in.fd < 0 || ::fstat(in.fd, &st) != 0 ||
        static_cast<std::uint64_t>(st.st_size) < StagingFormat::kTrailerBytes ||
        static_cast<std::uint64_t>(st.st_size) > blockSize + StagingFormat::kTrailerBytes)
        return false;
    std::string bytes(static_cast<std::size_t>(st.st_size), '\0');
    if (FileIo::preadFull(in.fd, bytes.data(), bytes.size(), 0) !=
        static_cast<ssize_t>(bytes.size()))
        return false;
    const std::size_t dataBytes = bytes.size() - StagingFormat::kTrailerBytes;
    const auto trailer = StagingFormat::decodeTrailer(std::string_view(bytes).substr(dataBytes));
    if (!trailer || trailer->index != index || trailer->length != dataBytes ||
        trailer->blockSize != blockSize || trailer->dataCrc != Crc32::of(bytes.data(), dataBytes))
        return false;
    length = dataBytes;
    return true;
}

// The record's path first; then a search of the volume for the same file under a new name.
int StagingRecovery::openBacking(const std::string& backingRoot, StagingFormat::FileRecord& record,
                                 Report& report) {
    if (const int fd = openMatching(backingRoot + record.path, record); fd >= 0)
        return fd;
    std::error_code failed;
    namespace fs = std::filesystem;
    for (fs::recursive_directory_iterator
             it(backingRoot, fs::directory_options::skip_permission_denied, failed),
         end;
         !failed && it != end; it.increment(failed)) {
        struct stat st {};
        if (::lstat(it->path().c_str(), &st) != 0 || !S_ISREG(st.st_mode) ||
            st.st_ino != record.ino)
            continue;
        if (const int fd = openMatching(it->path().string(), record); fd >= 0) {
            record.path = it->path().string().substr(backingRoot.size());
            ++report.renamed;
            return fd;
        }
    }
    return -1;
}

std::vector<RecoveredFile> StagingRecovery::scan(const std::string& folder,
                                                 const std::string& backingRoot, Report& report) {
    std::map<std::string, Found> ids;
    std::vector<std::string> unfinished;
    if (DIR* dir = ::opendir(folder.c_str())) {
        while (const dirent* entry = ::readdir(dir)) {
            const auto parsed = StagingFormat::parseName(entry->d_name);
            if (!parsed)
                continue; // not ours: left alone
            if (parsed->kind == Entry::Kind::working || parsed->kind == Entry::Kind::scratch)
                unfinished.emplace_back(entry->d_name);
            else if (parsed->kind == Entry::Kind::record)
                ids[parsed->id].hasRecord = true;
            else
                ids[parsed->id].blocks[parsed->index] = entry->d_name;
        }
        ::closedir(dir);
    }
    const auto remove = [&folder](const std::string& name) {
        ::unlink((folder + "/" + name).c_str());
    };
    // A scratch record was being replaced: the old record still stands, so it is no loss.
    for (const auto& name : unfinished) {
        if (StagingFormat::parseName(name)->kind == Entry::Kind::working)
            ++report.unfinished;
        remove(name);
    }

    std::vector<RecoveredFile> recovered;
    for (auto& [id, found] : ids) {
        const std::string recordFile = StagingFormat::recordName(id);
        auto record = found.hasRecord
                          ? StagingFormat::decodeRecord(readSmallFile(folder + "/" + recordFile))
                          : std::nullopt;
        if (record && (record->blockSize == 0 || record->blockSize > kLargestBlock))
            record.reset();
        if (!record) {
            report.orphaned += found.blocks.size();
            for (const auto& [index, name] : found.blocks)
                remove(name);
            if (found.hasRecord)
                remove(recordFile);
            continue;
        }
        RecoveredFile file{id, -1, *record, {}};
        for (const auto& [index, name] : found.blocks) {
            std::uint64_t length = 0;
            const std::uint64_t start = index * record->blockSize;
            if (!verifyBlock(folder + "/" + name, index, record->blockSize, length)) {
                ++report.damaged;
                remove(name);
            } else if (start >= record->size) {
                remove(name); // cut off by a truncate the record already knows of
            } else {
                file.blocks.emplace_back(index, std::min(length, record->size - start));
            }
        }
        if (!file.blocks.empty())
            file.fd = openBacking(backingRoot, file.record, report);
        if (file.fd >= 0 && isHiddenName(file.record.path)) {
            ::unlink((backingRoot + file.record.path).c_str());
            ::close(file.fd);
            file.fd = -1;
            file.blocks.clear();
        }
        if (file.fd < 0) {
            if (!file.blocks.empty() && !isHiddenName(file.record.path))
                report.lostPaths.push_back(file.record.path);
            for (const auto& [index, name] : found.blocks)
                remove(name);
            remove(recordFile);
            continue;
        }
        ++report.files;
        report.blocks += file.blocks.size();
        for (const auto& block : file.blocks)
            report.bytes += block.second;
        recovered.push_back(std::move(file));
    }
    if (report.damaged + report.unfinished + report.orphaned > 0 || !report.lostPaths.empty())
        FileIo::syncFolder(folder);
    return recovered;
}
