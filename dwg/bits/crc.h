#pragma once
// The checksums of R13-2018 files (ODA §2.14, §4.1, §4.2). Each takes the
// running value first, so that a checksum over several pieces is the
// checksum of the first piece used as the seed of the next.

#include <cstdint>
#include <span>

namespace dwg {

// The seed of every CRC-16 in R13-2000 files and in the object map and
// objects of all releases: header variables, classes, object map sections,
// each object, and (with the errata of ODA §3.2.6) the file header's
// section locators.
inline constexpr std::uint16_t kCrc16Seed = 0xC0C1;

// ODA §2.14.1 (called "8-bit CRC" there): the table-driven CRC over
// polynomial 0xA001 (reflected 0x8005). Objects and sections store it as RS
// (little-endian); the object map stores it most significant byte first.
std::uint16_t crc16(std::uint16_t seed, std::span<const std::uint8_t> data) noexcept;

// ODA §2.14.2: the standard CRC-32 (as in zlib), which inverts the value on
// the way in and out. The 2004 file header data stores it at 0x68, computed
// with seed 0 over all 0x6C bytes while that field is still zero.
std::uint32_t crc32(std::uint32_t seed, std::span<const std::uint8_t> data) noexcept;

// ODA §4.2: the section page checksum of 2004+ files, two sums modulo 0xFFF1
// (Adler-32's, with the seed's halves as starting sums), reduced every
// 0x15B0 bytes. Data pages: checksum(0, compressed data) is the data
// checksum, and that value seeds the header checksum over the 32 header
// bytes (with the header checksum field zero). System pages: the header
// (checksum field zero) is summed first with seed 0, and that seeds the sum
// over the compressed data.
std::uint32_t pageChecksum(std::uint32_t seed, std::span<const std::uint8_t> data) noexcept;

// Whether a stored checksum is the computed one. Every reader compares
// through this, so that a fuzzing build with CORVELIN_FUZZ_IGNORE_CHECKSUMS
// can accept any stored value and let mutated input reach the decoders that
// the checksums guard.
template <typename T>
constexpr bool checksumMatches(T stored, T computed) noexcept {
#ifdef CORVELIN_FUZZ_IGNORE_CHECKSUMS
    static_cast<void>(stored);
    static_cast<void>(computed);
    return true;
#else
    return stored == computed;
#endif
}

}  // namespace dwg
