#include "tools/devengine/StagedFile.h"

#include "tools/devengine/Crc32.h"
#include "tools/devengine/FileIo.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

using FileIo::Descriptor;

bool sameTime(const std::optional<timespec>& a, const std::optional<timespec>& b) {
    return a.has_value() == b.has_value() &&
           (!a || (a->tv_sec == b->tv_sec && a->tv_nsec == b->tv_nsec));
}

bool sameRecord(const StagingFormat::FileRecord& a, const StagingFormat::FileRecord& b) {
    return a.path == b.path && a.ino == b.ino && sameTime(a.birth, b.birth) && a.size == b.size &&
           a.blockSize == b.blockSize && sameTime(a.mtime, b.mtime);
}

// CRC-32 of the first `length` bytes of a file, or nothing when they cannot be read.
std::optional<std::uint32_t> crcOfPrefix(int fd, std::uint64_t length) {
    std::vector<char> chunk(static_cast<std::size_t>(std::min<std::uint64_t>(length, 1 << 20)));
    std::uint32_t crc = 0;
    for (std::uint64_t done = 0; done < length;) {
        const auto want =
            static_cast<std::size_t>(std::min<std::uint64_t>(chunk.size(), length - done));
        const ssize_t got = FileIo::preadFull(fd, chunk.data(), want, done);
        if (got != static_cast<ssize_t>(want))
            return std::nullopt;
        crc = Crc32::update(crc, chunk.data(), want);
        done += want;
    }
    return crc;
}

} // namespace

StagedFile::StagedFile(Identity identity, int backingFd, std::uint64_t size,
                       std::uint64_t blockSize)
    : identity_(std::move(identity)), fd_(backingFd), size_(size), blockSize_(blockSize) {}

StagedFile::~StagedFile() {
    ::close(fd_);
}

std::string StagedFile::committedPath(std::uint64_t index) const {
    return file(StagingFormat::blockName(identity_.id, index));
}

std::string StagedFile::workingPath(std::uint64_t index) const {
    return file(StagingFormat::workingName(identity_.id, index));
}

std::string StagedFile::currentPath(std::uint64_t index, const Block& blk) const {
    return blk.working ? workingPath(index) : committedPath(index);
}

std::uint64_t StagedFile::blockBytes(std::uint64_t index) const {
    const std::uint64_t start = index * blockSize_;
    return size_ > start ? std::min(blockSize_, size_ - start) : 0;
}

StagedFile::Block* StagedFile::block(std::uint64_t index) {
    const auto it = blocks_.find(index);
    return it == blocks_.end() ? nullptr : &it->second;
}

// A committed block never changes in place: its next change goes to a working copy.
int StagedFile::makeWorking(std::uint64_t index, Block& blk) {
    const Descriptor from(::open(committedPath(index).c_str(), O_RDONLY | O_CLOEXEC));
    if (from.fd < 0)
        return -errno;
    const Descriptor to(
        ::open(workingPath(index).c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600));
    if (to.fd < 0)
        return -errno;
    if (const int err = FileIo::copyPrefix(from.fd, to.fd, blk.length); err < 0)
        return err;
    blk.working = true;
    return 0;
}

// Copy-on-write: a block's first change copies what the backing holds for it.
ssize_t StagedFile::stage(std::uint64_t index, std::uint64_t seq, Block*& out) {
    if ((out = block(index)))
        return out->working ? 0 : makeWorking(index, *out);
    const std::uint64_t length = blockBytes(index);
    std::vector<char> data(length, '\0');
    const ssize_t got = FileIo::preadFull(fd_, data.data(), length, index * blockSize_);
    if (got < 0)
        return got;
    const Descriptor staged(
        ::open(workingPath(index).c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600));
    if (staged.fd < 0)
        return -errno;
    if (const ssize_t put = FileIo::pwriteFull(staged.fd, data.data(), length, 0); put < 0)
        return put;
    out = &blocks_[index];
    *out = Block{length, seq, seq};
    out->working = true;
    out->committed = stale_.erase(index) > 0; // the next commit renames over the stale file
    return 0;
}

ssize_t StagedFile::readStaged(std::uint64_t index, const Block& blk, char* out,
                               std::uint64_t inBlock, std::uint64_t length) const {
    std::memset(out, 0, length);
    if (inBlock >= blk.length)
        return 0;
    const Descriptor staged(::open(currentPath(index, blk).c_str(), O_RDONLY | O_CLOEXEC));
    if (staged.fd < 0)
        return -errno;
    const ssize_t got =
        FileIo::preadFull(staged.fd, out, std::min(length, blk.length - inBlock), inBlock);
    return got < 0 ? got : 0;
}

ssize_t StagedFile::read(char* out, std::size_t size, std::uint64_t offset,
                         const BackingRead& backing) {
    if (offset >= size_)
        return 0;
    const std::uint64_t end = std::min<std::uint64_t>(size_, offset + size);
    for (std::uint64_t pos = offset; pos < end;) {
        const std::uint64_t index = pos / blockSize_;
        const std::uint64_t inBlock = pos % blockSize_;
        const std::uint64_t length = std::min(end - pos, blockSize_ - inBlock);
        char* dst = out + (pos - offset);
        if (const Block* blk = block(index)) {
            if (const ssize_t err = readStaged(index, *blk, dst, inBlock, length); err < 0)
                return err;
        } else {
            if (const ssize_t err = backing(dst, pos, length, index, blockBytes(index)); err < 0)
                return err;
        }
        pos += length;
    }
    return static_cast<ssize_t>(end - offset);
}

ssize_t StagedFile::write(const char* data, std::size_t size, std::uint64_t offset,
                          std::uint64_t seq, Clock::time_point sealAt) {
    for (std::uint64_t pos = offset; pos < offset + size;) {
        const std::uint64_t index = pos / blockSize_;
        const std::uint64_t inBlock = pos % blockSize_;
        const std::uint64_t length = std::min(offset + size - pos, blockSize_ - inBlock);
        Block* blk = nullptr;
        if (const ssize_t err = stage(index, seq, blk); err < 0)
            return err;
        const Descriptor staged(::open(workingPath(index).c_str(), O_WRONLY | O_CLOEXEC));
        if (staged.fd < 0)
            return -errno;
        if (const ssize_t err =
                FileIo::pwriteFull(staged.fd, data + (pos - offset), length, inBlock);
            err < 0)
            return err;
        blk->length = std::max(blk->length, inBlock + length);
        blk->version = seq;
        if (!blk->sealed && inBlock + length == blockSize_) {
            blk->sealed = true;
            blk->readyAt = sealAt;
        }
        pos += length;
    }
    size_ = std::max<std::uint64_t>(size_, offset + size);
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    mtime_ = now;
    return static_cast<ssize_t>(size);
}

int StagedFile::truncate(std::uint64_t size, std::uint64_t seq) {
    for (auto it = blocks_.lower_bound((size + blockSize_ - 1) / blockSize_);
         it != blocks_.end();) {
        if (it->second.working)
            ::unlink(workingPath(it->first).c_str());
        if (it->second.committed)
            stale_.insert(it->first);
        it = blocks_.erase(it);
    }
    const std::uint64_t last = size / blockSize_;
    if (Block* blk = block(last); blk && blk->length > size - last * blockSize_) {
        const std::uint64_t cut = size - last * blockSize_;
        if (!blk->working) {
            blk->length = cut; // only the part that stays needs copying
            if (const int err = makeWorking(last, *blk); err < 0)
                return err;
        }
        if (::truncate(workingPath(last).c_str(), static_cast<off_t>(cut)) != 0)
            return -errno;
        blk->length = cut;
        blk->version = seq;
    }
    size_ = size;
    if (::ftruncate(fd_, static_cast<off_t>(size)) != 0)
        return -errno;
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    mtime_ = now;
    return 0;
}

void StagedFile::seal(Clock::time_point readyAt) {
    for (auto& [index, blk] : blocks_)
        if (!blk.sealed) {
            blk.sealed = true;
            blk.readyAt = readyAt;
        }
}

int StagedFile::commitBlock(std::uint64_t index, Block& blk) {
    const Descriptor working(::open(workingPath(index).c_str(), O_RDWR | O_CLOEXEC));
    if (working.fd < 0)
        return -errno;
    const auto crc = crcOfPrefix(working.fd, blk.length);
    if (!crc)
        return -EIO;
    const std::string trailer = StagingFormat::encodeTrailer({index, blk.length, blockSize_, *crc});
    if (const ssize_t put =
            FileIo::pwriteFull(working.fd, trailer.data(), trailer.size(), blk.length);
        put < 0)
        return static_cast<int>(put);
    if (::ftruncate(working.fd, static_cast<off_t>(blk.length + trailer.size())) != 0 ||
        ::fdatasync(working.fd) != 0)
        return -errno;
    if (::rename(workingPath(index).c_str(), committedPath(index).c_str()) != 0)
        return -errno;
    blk.working = false;
    blk.committed = true;
    return 0;
}

StagingFormat::FileRecord StagedFile::record() const {
    return {identity_.path, identity_.ino, identity_.birth, size_, blockSize_, mtime_};
}

int StagedFile::writeRecord() {
    const StagingFormat::FileRecord next = record();
    if (const int err = FileIo::replaceFile(file(StagingFormat::recordName(identity_.id)),
                                            StagingFormat::encodeRecord(next));
        err < 0)
        return err;
    recorded_ = next;
    return 0;
}

// Blocks first, then the record that describes them, then one folder sync; only then may the
// files of blocks the record no longer covers go.
int StagedFile::commit() {
    bool changed = false;
    for (auto& [index, blk] : blocks_) {
        if (!blk.working)
            continue;
        if (const int err = commitBlock(index, blk); err < 0)
            return err;
        changed = true;
    }
    if (blocks_.empty()) {
        dropRecordIfUnused();
        return 0;
    }
    if (changed || !stale_.empty() || !recorded_ || !sameRecord(*recorded_, record())) {
        if (const int err = writeRecord(); err < 0)
            return err;
        changed = true;
    }
    if (changed)
        if (const int err = FileIo::syncFolder(identity_.folder); err < 0)
            return err;
    for (const std::uint64_t index : stale_)
        ::unlink(committedPath(index).c_str());
    stale_.clear();
    return 0;
}

int StagedFile::moved(const std::string& path) {
    identity_.path = path;
    if (!recorded_)
        return 0;
    StagingFormat::FileRecord renamed = *recorded_;
    renamed.path = path;
    if (const int err = FileIo::replaceFile(file(StagingFormat::recordName(identity_.id)),
                                            StagingFormat::encodeRecord(renamed));
        err < 0)
        return err;
    recorded_ = renamed;
    return FileIo::syncFolder(identity_.folder);
}

void StagedFile::dropRecordIfUnused() {
    if (std::any_of(blocks_.begin(), blocks_.end(),
                    [](const auto& entry) { return entry.second.committed; }))
        return;
    if (recorded_)
        ::unlink(file(StagingFormat::recordName(identity_.id)).c_str());
    recorded_.reset();
    for (const std::uint64_t index : stale_)
        ::unlink(committedPath(index).c_str());
    stale_.clear();
}

void StagedFile::removeBlockFiles(std::uint64_t index, const Block& blk) {
    if (blk.working)
        ::unlink(workingPath(index).c_str());
    if (blk.committed)
        ::unlink(committedPath(index).c_str());
}

void StagedFile::removeStagedData() {
    ::unlink(file(StagingFormat::recordName(identity_.id)).c_str());
    recorded_.reset();
    for (const auto& [index, blk] : blocks_)
        removeBlockFiles(index, blk);
    for (const std::uint64_t index : stale_)
        ::unlink(committedPath(index).c_str());
    blocks_.clear();
    stale_.clear();
}

void StagedFile::adoptCommitted(std::uint64_t index, std::uint64_t length, std::uint64_t seq,
                                Clock::time_point readyAt) {
    Block& blk = blocks_[index];
    blk = Block{length, seq, seq, true, readyAt};
    blk.committed = true;
}

void StagedFile::adoptRecord(const StagingFormat::FileRecord& record) {
    recorded_ = record;
    mtime_ = record.mtime;
}

std::optional<std::uint64_t> StagedFile::readyBlock(Clock::time_point now, bool urgent,
                                                    Clock::time_point& next) const {
    for (const auto& [index, blk] : blocks_) {
        if (blk.uploading || (!urgent && !blk.sealed))
            continue;
        const Clock::time_point at = std::max(blk.retryAt, urgent ? now : blk.readyAt);
        if (at <= now)
            return index;
        next = std::min(next, at);
    }
    return std::nullopt;
}

ssize_t StagedFile::uploadChunk(std::uint64_t index, std::uint64_t offset, std::uint64_t maxBytes) {
    const Block* blk = block(index);
    if (!blk)
        return -ENOENT;
    if (offset >= blk->length)
        return 0;
    std::vector<char> chunk(std::min(maxBytes, blk->length - offset));
    if (const ssize_t err = readStaged(index, *blk, chunk.data(), offset, chunk.size()); err < 0)
        return err;
    return FileIo::pwriteFull(fd_, chunk.data(), chunk.size(), index * blockSize_ + offset);
}

bool StagedFile::finishUpload(std::uint64_t index, std::uint64_t version, std::uint64_t seqAtStart,
                              bool ok, Clock::time_point retryAt) {
    Block* blk = block(index);
    if (!blk)
        return false;
    blk->uploading = false;
    if (!ok) {
        blk->retryAt = retryAt;
        return false;
    }
    if (blk->version != version) {
        // Changes made while uploading may have missed the chunks already sent.
        blk->dirtySince = seqAtStart + 1;
        return false;
    }
    // The staged copy may go only once the backing holds the bytes for good.
    if (::fdatasync(fd_) != 0) {
        blk->retryAt = retryAt;
        return false;
    }
    removeBlockFiles(index, *blk);
    blocks_.erase(index);
    dropRecordIfUnused();
    return true;
}

void StagedFile::settleBacking() {
    struct stat st {};
    if (::fstat(fd_, &st) == 0 && static_cast<std::uint64_t>(st.st_size) != size_) {
        [[maybe_unused]] const int ignored = ::ftruncate(fd_, static_cast<off_t>(size_));
    }
    if (mtime_) {
        const timespec times[2] = {{0, UTIME_OMIT}, *mtime_};
        ::futimens(fd_, times);
    }
}

bool StagedFile::dirtyUpTo(std::uint64_t seq) const {
    return std::any_of(blocks_.begin(), blocks_.end(),
                       [seq](const auto& entry) { return entry.second.dirtySince <= seq; });
}
