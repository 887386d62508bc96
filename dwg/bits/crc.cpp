#include "dwg/bits/crc.h"

#include <array>
#include <bit>
#include <cstring>

namespace dwg {

namespace {

// Both tables are the byte-at-a-time tables of reflected CRCs; ODA §2.14
// prints them in full (0x0000, 0xC0C1, 0xC181, ... and 0x00000000,
// 0x77073096, 0xEE0E612C, ...).
template <typename Word>
constexpr std::array<Word, 256> reflectedTable(Word polynomial) {
    std::array<Word, 256> table{};
    for (unsigned i = 0; i < 256; ++i) {
        Word value = static_cast<Word>(i);
        for (int bit = 0; bit < 8; ++bit) {
            value = (value & 1U) != 0 ? static_cast<Word>((value >> 1) ^ polynomial) : static_cast<Word>(value >> 1);
        }
        table[i] = value;
    }
    return table;
}

constexpr auto kCrc16Table = reflectedTable<std::uint16_t>(0xA001);
constexpr auto kCrc32Table = reflectedTable<std::uint32_t>(0xEDB88320U);

static_assert(kCrc16Table[1] == 0xC0C1 && kCrc16Table[255] == 0x4040);
static_assert(kCrc32Table[1] == 0x77073096U && kCrc32Table[255] == 0x2D02EF8DU);

// Slicing by 8: table k gives the effect of a byte followed by k zero bytes,
// so that eight bytes take eight lookups and no dependent shifts.
template <typename Word>
constexpr std::array<std::array<Word, 256>, 8> slicedTables(const std::array<Word, 256>& base) {
    std::array<std::array<Word, 256>, 8> tables{};
    tables[0] = base;
    for (std::size_t k = 1; k < 8; ++k)
        for (std::size_t i = 0; i < 256; ++i)
            tables[k][i] = static_cast<Word>((tables[k - 1][i] >> 8) ^ base[tables[k - 1][i] & 0xFFU]);
    return tables;
}

constexpr auto kCrc16Sliced = slicedTables(kCrc16Table);
constexpr auto kCrc32Sliced = slicedTables(kCrc32Table);

template <typename Word>
Word reflectedCrc(Word crc, std::span<const std::uint8_t> data, const std::array<std::array<Word, 256>, 8>& t) {
    std::size_t i = 0;
    for (; i + 8 <= data.size(); i += 8) {
        // The eight bytes as one little-endian word, loaded at once.
        std::uint64_t x = 0;
        std::memcpy(&x, data.data() + i, sizeof x);
        if constexpr (std::endian::native == std::endian::big) x = __builtin_bswap64(x);
        x ^= crc;
        crc = static_cast<Word>(t[7][x & 0xFF] ^ t[6][(x >> 8) & 0xFF] ^ t[5][(x >> 16) & 0xFF] ^
                                t[4][(x >> 24) & 0xFF] ^ t[3][(x >> 32) & 0xFF] ^ t[2][(x >> 40) & 0xFF] ^
                                t[1][(x >> 48) & 0xFF] ^ t[0][x >> 56]);
    }
    for (; i < data.size(); ++i)
        crc = static_cast<Word>((crc >> 8) ^ t[0][(crc ^ data[i]) & 0xFFU]);
    return crc;
}

}  // namespace

std::uint16_t crc16(std::uint16_t seed, std::span<const std::uint8_t> data) noexcept {
    return reflectedCrc<std::uint16_t>(seed, data, kCrc16Sliced);
}

std::uint32_t crc32(std::uint32_t seed, std::span<const std::uint8_t> data) noexcept {
    return ~reflectedCrc<std::uint32_t>(~seed, data, kCrc32Sliced);
}

std::uint32_t pageChecksum(std::uint32_t seed, std::span<const std::uint8_t> data) noexcept {
    // 0x15B0 bytes is the most that can be summed before sum2 could overflow
    // 32 bits (the same bound as Adler-32's NMAX).
    constexpr std::size_t kChunk = 0x15B0;
    constexpr std::uint32_t kModulus = 0xFFF1;
    std::uint32_t sum1 = seed & 0xFFFFU;
    std::uint32_t sum2 = seed >> 16;
    while (!data.empty()) {
        const std::size_t chunk = data.size() < kChunk ? data.size() : kChunk;
        for (const std::uint8_t byte : data.first(chunk)) {
            sum1 += byte;
            sum2 += sum1;
        }
        sum1 %= kModulus;
        sum2 %= kModulus;
        data = data.subspan(chunk);
    }
    return (sum2 << 16) | (sum1 & 0xFFFFU);
}

}  // namespace dwg
