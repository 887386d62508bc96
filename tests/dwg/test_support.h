#pragma once
// Helpers of the dwg tests: bit strings written the way the format document
// prints them ("01 00001111"), the document's worked examples, and the
// sample drawings.

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "dwg/release.h"

namespace dwg::test {

// '0' and '1' in stream order (first bit = most significant bit of the first
// byte); spaces and dots are ignored; the last byte is padded with zeros.
inline std::vector<std::uint8_t> bitsToBytes(std::string_view bits) {
    std::vector<std::uint8_t> bytes;
    unsigned count = 0;
    for (const char c : bits) {
        if (c != '0' && c != '1') continue;
        if (count % 8 == 0) bytes.push_back(0);
        if (c == '1') bytes.back() = static_cast<std::uint8_t>(bytes.back() | (0x80U >> (count % 8)));
        ++count;
    }
    return bytes;
}

// The first `bitCount` bits of `bytes` as '0'/'1' without separators.
inline std::string bytesToBits(std::span<const std::uint8_t> bytes, std::uint64_t bitCount) {
    std::string text;
    for (std::uint64_t i = 0; i < bitCount; ++i) text += ((bytes[i / 8] >> (7 - i % 8)) & 1U) != 0 ? '1' : '0';
    return text;
}

inline std::string withoutSpaces(std::string_view bits) {
    std::string text;
    for (const char c : bits) {
        if (c == '0' || c == '1') text += c;
    }
    return text;
}

inline std::vector<std::uint8_t> hexToBytes(std::string_view hex) {
    std::vector<std::uint8_t> bytes;
    int high = -1;
    for (const char c : hex) {
        int digit = -1;
        if (c >= '0' && c <= '9') digit = c - '0';
        if (c >= 'A' && c <= 'F') digit = c - 'A' + 10;
        if (c >= 'a' && c <= 'f') digit = c - 'a' + 10;
        if (digit < 0) continue;
        if (high < 0) {
            high = digit;
        } else {
            bytes.push_back(static_cast<std::uint8_t>(high * 16 + digit));
            high = -1;
        }
    }
    return bytes;
}

// ODA §20.4.3.1, "R14 Example": a TEXT entity, handle 4C, from its MS size
// (49 00) through its last data byte; the CRC C9 72 follows it in the file.
inline std::vector<std::uint8_t> documentTextExample() {
    return hexToBytes(
        "49 00"
        "40 40 53 20 58 10 00 05 5B 40 00 00 00 00 00 01"
        "08 00 00 00 00 00 00 02 08 00 00 00 00 00 00 00"
        "00 00 00 00 00 00 00 00 00 14 D4 4D 4C CC CC CC"
        "CC E4 9F A8 63 A3 43 4B 99 03 4B 99 03 A3 2B C3"
        "A5 46 0A 21 E8 08 0A 22 00");
}

// Every drawing of the samples of a release the engine knows, in path order.
inline std::vector<std::filesystem::path> sampleDrawings() {
    std::vector<std::filesystem::path> paths;
    const std::filesystem::path root = std::filesystem::path(CORVELIN_SAMPLES_DIR) / "dwg";
    if (!std::filesystem::is_directory(root))
        return paths;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(root)) {
        if (!entry.is_regular_file() || entry.path().extension() != ".dwg")
            continue;
        std::ifstream in(entry.path(), std::ios::binary);
        char version[6] = {};
        in.read(version, 6);
        if (findRelease(std::string_view(version, 6)))
            paths.push_back(entry.path());
    }
    std::sort(paths.begin(), paths.end());
    return paths;
}

inline std::optional<std::vector<std::uint8_t>> loadSample(const std::string& name) {
    const std::filesystem::path path = std::filesystem::path(CORVELIN_SAMPLES_DIR) / "dwg" / name;
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::nullopt;
    return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// `bytes`: the sample drawing `name`, or the test is skipped saying so.
#define LOAD_OR_SKIP(bytes, name)                                                        \
    const auto loaded_##bytes = ::dwg::test::loadSample(name);                           \
    if (!loaded_##bytes) GTEST_SKIP() << (name) << " is not in " CORVELIN_SAMPLES_DIR;   \
    const std::vector<std::uint8_t>& bytes = *loaded_##bytes;

// Every sample of 2004 and later (2004 to 2018 containers and 2007), as
// paths under samples/dwg, sorted; none where the samples are absent.
inline std::vector<std::string> samplesFrom2004() {
    const std::filesystem::path root = std::filesystem::path(CORVELIN_SAMPLES_DIR) / "dwg";
    std::vector<std::string> names;
    std::error_code error;
    for (auto it = std::filesystem::recursive_directory_iterator(root, error);
         !error && it != std::filesystem::recursive_directory_iterator(); it.increment(error)) {
        if (it->path().extension() != ".dwg") continue;
        std::ifstream in(it->path(), std::ios::binary);
        std::string version(6, '\0');
        if (in.read(version.data(), 6) && version >= "AC1018")
            names.push_back(std::filesystem::relative(it->path(), root).generic_string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

inline std::uint32_t rl(std::span<const std::uint8_t> bytes, std::size_t at) {
    return static_cast<std::uint32_t>(bytes[at]) | static_cast<std::uint32_t>(bytes[at + 1]) << 8 |
           static_cast<std::uint32_t>(bytes[at + 2]) << 16 | static_cast<std::uint32_t>(bytes[at + 3]) << 24;
}

inline std::uint16_t rs(std::span<const std::uint8_t> bytes, std::size_t at) {
    return static_cast<std::uint16_t>(bytes[at] | bytes[at + 1] << 8);
}

// Every text of every block, and every attribute of its block references:
// `visit(handle, isAttribute)`.
template <typename Drawing, typename Visit>
void forEachBlockText(const Drawing& d, Visit visit) {
    for (std::uint64_t block : d.blocks())
        for (std::uint64_t e : d.blockEntities(block)) {
            if (d.isText(e))
                visit(e, false);
            if (d.isBlockReference(e))
                for (std::uint64_t a : d.attributes(e))
                    visit(a, true);
        }
}

}  // namespace dwg::test
