#pragma once

#include <QByteArray>
#include <optional>

// One POSIX ustar header block (512 bytes). Only this format is written or read: the old GNU
// and pax extensions are refused by the reader, so the names it sees are the names tar uses.
struct TarHeader {
    static constexpr int kBlockBytes = 512;
    static constexpr char kFile = '0';
    static constexpr char kOldFile = '\0';
    static constexpr char kHardLink = '1';
    static constexpr char kSymlink = '2';
    static constexpr char kDirectory = '5';

    QByteArray name; // prefix and name joined with "/"
    unsigned mode = 0644;
    qint64 size = 0;
    char type = kFile;
    QByteArray linkName;

    // The block; nothing when a field does not fit (a name longer than ustar allows, a size
    // beyond 8 GiB).
    std::optional<QByteArray> encode() const;
    // The header a block holds; nothing (and the reason) for a block that is not a valid
    // ustar header. An all-zero block is the end of the archive: see isEndBlock.
    static std::optional<TarHeader> decode(const char* block, QByteArray* error);
    static bool isEndBlock(const char* block);
};
