#pragma once

#include <cstddef>
#include <cstdint>

// CRC-32 (IEEE 802.3), as zlib computes it; `seed` continues an earlier value.
namespace Crc32 {

std::uint32_t update(std::uint32_t seed, const void* data, std::size_t size);
inline std::uint32_t of(const void* data, std::size_t size) {
    return update(0, data, size);
}

} // namespace Crc32
