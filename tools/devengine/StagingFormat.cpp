#include "tools/devengine/StagingFormat.h"

#include "tools/devengine/Crc32.h"

#include <charconv>
#include <cstring>

namespace StagingFormat {

namespace {

constexpr std::string_view kBlockMagic = "KVBLOCK1";
constexpr std::string_view kRecordMagic = "KVFILE01";
constexpr std::uint32_t kHasBirth = 1;
constexpr std::uint32_t kHasMtime = 2;

// Little-endian fields, whatever the host.
class Writer {
public:
    void bytes(std::string_view data) { out_.append(data); }
    void u32(std::uint32_t v) {
        for (int i = 0; i < 4; ++i)
            out_.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
    }
    void u64(std::uint64_t v) {
        for (int i = 0; i < 8; ++i)
            out_.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
    }
    void crc() { u32(Crc32::of(out_.data(), out_.size())); }
    std::string take() { return std::move(out_); }

private:
    std::string out_;
};

class Reader {
public:
    explicit Reader(std::string_view in) : in_(in) {}
    bool bytes(std::string_view expected) {
        if (in_.substr(pos_, expected.size()) != expected)
            return false;
        pos_ += expected.size();
        return true;
    }
    std::optional<std::uint64_t> u64() { return number(8); }
    std::optional<std::uint32_t> u32() {
        const auto v = number(4);
        return v ? std::optional<std::uint32_t>(static_cast<std::uint32_t>(*v)) : std::nullopt;
    }
    std::optional<std::string> text(std::size_t size) {
        if (in_.size() - pos_ < size)
            return std::nullopt;
        std::string out(in_.substr(pos_, size));
        pos_ += size;
        return out;
    }
    // The CRC-32 of everything read so far must follow, and end the input.
    bool crcEnds() {
        const std::uint32_t expected = Crc32::of(in_.data(), pos_);
        const auto stored = u32();
        return stored && *stored == expected && pos_ == in_.size();
    }

private:
    std::optional<std::uint64_t> number(std::size_t width) {
        if (in_.size() - pos_ < width)
            return std::nullopt;
        std::uint64_t v = 0;
        for (std::size_t i = 0; i < width; ++i)
            v |= static_cast<std::uint64_t>(static_cast<unsigned char>(in_[pos_ + i])) << (8 * i);
        pos_ += width;
        return v;
    }

    std::string_view in_;
    std::size_t pos_ = 0;
};

void putTime(Writer& out, const std::optional<timespec>& t) {
    out.u64(t ? static_cast<std::uint64_t>(t->tv_sec) : 0);
    out.u32(t ? static_cast<std::uint32_t>(t->tv_nsec) : 0);
}

bool getTime(Reader& in, bool present, std::optional<timespec>& into) {
    const auto sec = in.u64();
    const auto nsec = in.u32();
    if (!sec || !nsec || *nsec >= 1000000000u)
        return false;
    if (present)
        into = timespec{static_cast<time_t>(*sec), static_cast<long>(*nsec)};
    return true;
}

bool isId(std::string_view text) {
    return text.size() == 16 &&
           text.find_first_not_of("0123456789abcdef") == std::string_view::npos;
}

} // namespace

std::string encodeTrailer(const BlockTrailer& trailer) {
    Writer out;
    out.bytes(kBlockMagic);
    out.u64(trailer.index);
    out.u64(trailer.length);
    out.u64(trailer.blockSize);
    out.u32(trailer.dataCrc);
    out.crc();
    return out.take();
}

std::optional<BlockTrailer> decodeTrailer(std::string_view bytes) {
    Reader in(bytes);
    if (!in.bytes(kBlockMagic))
        return std::nullopt;
    const auto index = in.u64();
    const auto length = in.u64();
    const auto blockSize = in.u64();
    const auto crc = in.u32();
    if (!index || !length || !blockSize || !crc || !in.crcEnds())
        return std::nullopt;
    return BlockTrailer{*index, *length, *blockSize, *crc};
}

std::string encodeRecord(const FileRecord& record) {
    Writer out;
    out.bytes(kRecordMagic);
    out.u64(record.ino);
    out.u32((record.birth ? kHasBirth : 0) | (record.mtime ? kHasMtime : 0));
    putTime(out, record.birth);
    putTime(out, record.mtime);
    out.u64(record.size);
    out.u64(record.blockSize);
    out.u32(static_cast<std::uint32_t>(record.path.size()));
    out.bytes(record.path);
    out.crc();
    return out.take();
}

std::optional<FileRecord> decodeRecord(std::string_view bytes) {
    Reader in(bytes);
    FileRecord record;
    if (!in.bytes(kRecordMagic))
        return std::nullopt;
    const auto ino = in.u64();
    const auto flags = in.u32();
    if (!ino || !flags || !getTime(in, *flags & kHasBirth, record.birth) ||
        !getTime(in, *flags & kHasMtime, record.mtime))
        return std::nullopt;
    const auto size = in.u64();
    const auto blockSize = in.u64();
    const auto pathLength = in.u32();
    if (!size || !blockSize || !pathLength)
        return std::nullopt;
    auto path = in.text(*pathLength);
    if (!path || path->empty() || (*path)[0] != '/' || !in.crcEnds())
        return std::nullopt;
    record.ino = *ino;
    record.size = *size;
    record.blockSize = *blockSize;
    record.path = std::move(*path);
    return record;
}

std::string recordName(const std::string& id) {
    return id + ".rec";
}

std::string blockName(const std::string& id, std::uint64_t index) {
    return id + "_" + std::to_string(index);
}

std::string workingName(const std::string& id, std::uint64_t index) {
    return blockName(id, index) + ".w";
}

std::optional<Entry> parseName(std::string_view name) {
    if (name.size() > 2 && name.substr(name.size() - 2) == ".w") {
        auto inner = parseName(name.substr(0, name.size() - 2));
        if (!inner)
            return std::nullopt;
        inner->kind =
            inner->kind == Entry::Kind::block ? Entry::Kind::working : Entry::Kind::scratch;
        return inner;
    }
    if (name.size() == 20 && name.substr(16) == ".rec" && isId(name.substr(0, 16)))
        return Entry{Entry::Kind::record, std::string(name.substr(0, 16))};
    if (name.size() < 18 || name[16] != '_' || !isId(name.substr(0, 16)))
        return std::nullopt;
    const std::string_view digits = name.substr(17);
    std::uint64_t index = 0;
    const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), index);
    if (ec != std::errc() || end != digits.data() + digits.size() ||
        std::to_string(index) != digits)
        return std::nullopt;
    return Entry{Entry::Kind::block, std::string(name.substr(0, 16)), index};
}

} // namespace StagingFormat
