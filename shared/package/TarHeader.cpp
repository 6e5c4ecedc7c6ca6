#include "shared/package/TarHeader.h"

#include <cstring>
#include <limits>

namespace {

// Field offsets and lengths of the ustar header.
constexpr int kName = 0, kNameLen = 100;
constexpr int kMode = 100, kModeLen = 8;
constexpr int kUid = 108, kGid = 116, kIdLen = 8;
constexpr int kSize = 124, kSizeLen = 12;
constexpr int kMtime = 136, kMtimeLen = 12;
constexpr int kChecksum = 148, kChecksumLen = 8;
constexpr int kType = 156;
constexpr int kLink = 157, kLinkLen = 100;
constexpr int kMagic = 257;
constexpr int kVersion = 263;
constexpr int kDevMajor = 329, kDevMinor = 337, kDevLen = 8;
constexpr int kPrefix = 345, kPrefixLen = 155;
const char kUstarMagic[6] = {'u', 's', 't', 'a', 'r', '\0'};

bool putOctal(QByteArray& block, int offset, int length, quint64 value) {
    // length - 1 digits and a NUL.
    const QByteArray digits = QByteArray::number(value, 8).rightJustified(length - 1, '0');
    if (digits.size() > length - 1)
        return false;
    std::memcpy(block.data() + offset, digits.constData(), size_t(digits.size()));
    block[offset + length - 1] = '\0';
    return true;
}

void putText(QByteArray& block, int offset, const QByteArray& text) {
    std::memcpy(block.data() + offset, text.constData(), size_t(text.size()));
}

// Leading blanks, octal digits, then NUL or blanks to the end of the field.
std::optional<quint64> readOctal(const char* field, int length) {
    int i = 0;
    while (i < length && field[i] == ' ')
        ++i;
    quint64 value = 0;
    int digits = 0;
    for (; i < length && field[i] >= '0' && field[i] <= '7'; ++i, ++digits) {
        if (value > (std::numeric_limits<quint64>::max() >> 3))
            return std::nullopt;
        value = (value << 3) | quint64(field[i] - '0');
    }
    for (; i < length; ++i) {
        if (field[i] != ' ' && field[i] != '\0')
            return std::nullopt;
    }
    if (digits == 0)
        return std::nullopt;
    return value;
}

QByteArray readText(const char* field, int length) {
    const void* end = std::memchr(field, '\0', size_t(length));
    return QByteArray(field, end ? int(static_cast<const char*>(end) - field) : length);
}

unsigned checksumOf(const char* block) {
    unsigned sum = 0;
    for (int i = 0; i < TarHeader::kBlockBytes; ++i) {
        const bool inField = i >= kChecksum && i < kChecksum + kChecksumLen;
        sum += inField ? unsigned(' ') : unsigned(static_cast<unsigned char>(block[i]));
    }
    return sum;
}

// Splits a long name at a "/" into the prefix and name fields; nothing when it cannot fit.
std::optional<std::pair<QByteArray, QByteArray>> splitName(const QByteArray& name) {
    if (name.size() <= kNameLen)
        return std::make_pair(QByteArray(), name);
    for (qsizetype slash = name.indexOf('/'); slash >= 0; slash = name.indexOf('/', slash + 1)) {
        const qsizetype rest = name.size() - slash - 1;
        if (slash <= kPrefixLen && rest > 0 && rest <= kNameLen)
            return std::make_pair(name.left(slash), name.mid(slash + 1));
    }
    return std::nullopt;
}

} // namespace

std::optional<QByteArray> TarHeader::encode() const {
    const auto parts = splitName(name);
    if (!parts || linkName.size() > kLinkLen || name.contains('\0'))
        return std::nullopt;
    QByteArray block(kBlockBytes, '\0');
    putText(block, kName, parts->second);
    putText(block, kPrefix, parts->first);
    putText(block, kLink, linkName);
    block[kType] = type;
    std::memcpy(block.data() + kMagic, kUstarMagic, sizeof kUstarMagic);
    block[kVersion] = '0';
    block[kVersion + 1] = '0';
    if (!putOctal(block, kMode, kModeLen, mode) || !putOctal(block, kUid, kIdLen, 0) ||
        !putOctal(block, kGid, kIdLen, 0) || !putOctal(block, kSize, kSizeLen, quint64(size)) ||
        !putOctal(block, kMtime, kMtimeLen, 0) || !putOctal(block, kDevMajor, kDevLen, 0) ||
        !putOctal(block, kDevMinor, kDevLen, 0) || size < 0)
        return std::nullopt;
    // Six digits, NUL, blank: the form tar itself writes.
    const QByteArray sum =
        QByteArray::number(checksumOf(block.constData()), 8).rightJustified(6, '0');
    putText(block, kChecksum, sum);
    block[kChecksum + 6] = '\0';
    block[kChecksum + 7] = ' ';
    return block;
}

bool TarHeader::isEndBlock(const char* block) {
    for (int i = 0; i < kBlockBytes; ++i) {
        if (block[i] != '\0')
            return false;
    }
    return true;
}

std::optional<TarHeader> TarHeader::decode(const char* block, QByteArray* error) {
    const auto fail = [error](const char* text) {
        *error = text;
        return std::nullopt;
    };
    const auto stored = readOctal(block + kChecksum, kChecksumLen);
    if (!stored || *stored != checksumOf(block))
        return fail("a header's checksum is wrong");
    if (std::memcmp(block + kMagic, kUstarMagic, sizeof kUstarMagic) != 0 ||
        block[kVersion] != '0' || block[kVersion + 1] != '0')
        return fail("a header is not in the POSIX ustar format");
    const auto mode = readOctal(block + kMode, kModeLen);
    const auto size = readOctal(block + kSize, kSizeLen);
    if (!mode || !size)
        return fail("a header's mode or size is not an octal number");
    TarHeader h;
    const QByteArray prefix = readText(block + kPrefix, kPrefixLen);
    const QByteArray shortName = readText(block + kName, kNameLen);
    h.name = prefix.isEmpty() ? shortName : prefix + '/' + shortName;
    h.mode = unsigned(*mode);
    h.size = qint64(*size);
    h.type = block[kType];
    h.linkName = readText(block + kLink, kLinkLen);
    return h;
}
