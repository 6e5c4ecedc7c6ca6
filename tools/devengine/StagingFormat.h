#pragma once

#include <cstdint>
#include <ctime>
#include <optional>
#include <string>
#include <string_view>

// How staged data lies in a volume's staging folder, so that a later engine can find it after a
// crash. Per staged file (named by a random id):
//   ID.rec        the file's record: its path in the volume, its identity, size and mtime
//   ID_N          block N, committed: the data, then a trailer with its length and CRC-32
//   ID_N.w        block N being written: never trusted, it was not acknowledged
// Committed files are only ever replaced by rename, so a torn one cannot pass its checksum.
namespace StagingFormat {

struct BlockTrailer {
    std::uint64_t index = 0;
    std::uint64_t length = 0; // data bytes in front of the trailer
    std::uint64_t blockSize = 0;
    std::uint32_t dataCrc = 0;
};

struct FileRecord {
    std::string path; // inside the volume, starting with "/"
    std::uint64_t ino = 0;
    std::optional<timespec> birth;
    std::uint64_t size = 0;
    std::uint64_t blockSize = 0;
    std::optional<timespec> mtime;
};

constexpr std::size_t kTrailerBytes = 40;

std::string encodeTrailer(const BlockTrailer& trailer);
std::optional<BlockTrailer> decodeTrailer(std::string_view bytes);
std::string encodeRecord(const FileRecord& record);
std::optional<FileRecord> decodeRecord(std::string_view bytes);

std::string recordName(const std::string& id);
std::string blockName(const std::string& id, std::uint64_t index);
std::string workingName(const std::string& id, std::uint64_t index);

// What a name in the staging folder is.
struct Entry {
    enum class Kind { record, block, working, scratch } kind;
    std::string id;
    std::uint64_t index = 0;
};
std::optional<Entry> parseName(std::string_view name);

} // namespace StagingFormat
