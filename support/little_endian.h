#pragma once
// Little-endian integers in byte buffers: the byte order of DWG files and
// of BMP images. Callers check the bounds.

#include <cstdint>
#include <span>
#include <vector>

namespace support {

inline std::uint16_t loadLE16(std::span<const std::uint8_t> bytes, std::size_t at) {
    return static_cast<std::uint16_t>(bytes[at] | (bytes[at + 1] << 8));
}

inline std::uint32_t loadLE32(std::span<const std::uint8_t> bytes, std::size_t at) {
    return static_cast<std::uint32_t>(bytes[at]) | (static_cast<std::uint32_t>(bytes[at + 1]) << 8) |
           (static_cast<std::uint32_t>(bytes[at + 2]) << 16) | (static_cast<std::uint32_t>(bytes[at + 3]) << 24);
}

inline std::uint64_t loadLE64(std::span<const std::uint8_t> bytes, std::size_t at) {
    return loadLE32(bytes, at) | (std::uint64_t{loadLE32(bytes, at + 4)} << 32);
}

inline void storeLE16(std::span<std::uint8_t> bytes, std::size_t at, std::uint16_t value) {
    bytes[at] = static_cast<std::uint8_t>(value);
    bytes[at + 1] = static_cast<std::uint8_t>(value >> 8);
}

inline void storeLE32(std::span<std::uint8_t> bytes, std::size_t at, std::uint32_t value) {
    for (std::size_t i = 0; i < 4; ++i)
        bytes[at + i] = static_cast<std::uint8_t>(value >> (8 * i));
}

inline void storeLE64(std::span<std::uint8_t> bytes, std::size_t at, std::uint64_t value) {
    storeLE32(bytes, at, static_cast<std::uint32_t>(value));
    storeLE32(bytes, at + 4, static_cast<std::uint32_t>(value >> 32));
}

inline void appendLE16(std::vector<std::uint8_t>& out, std::uint16_t value) {
    out.push_back(static_cast<std::uint8_t>(value));
    out.push_back(static_cast<std::uint8_t>(value >> 8));
}

inline void appendLE32(std::vector<std::uint8_t>& out, std::uint32_t value) {
    for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

inline void appendLE64(std::vector<std::uint8_t>& out, std::uint64_t value) {
    appendLE32(out, static_cast<std::uint32_t>(value));
    appendLE32(out, static_cast<std::uint32_t>(value >> 32));
}

}  // namespace support
