#include "dwg/container/preview_section.h"

#include <algorithm>
#include <string>

#include "dwg/container/sections.h"
#include "dwg/container/sentinels.h"
#include "dwg/errors.h"
#include "support/little_endian.h"

namespace dwg {
namespace {

constexpr std::size_t kEntrySize = 9;

std::string num(std::uint64_t value) { return std::to_string(value); }

bool isImageCode(std::uint8_t code) { return (code >= 1 && code <= 3) || code == 6; }

}  // namespace

std::vector<std::uint8_t> relativePreview(std::span<const std::uint8_t> data, std::uint64_t base) {
    if (data.size() < 16 + 4 + 1 + 16 || !std::equal(kPreviewStart.begin(), kPreviewStart.end(), data.begin()))
        throw FormatError("expected a start sentinel, a size, an entry count and an end sentinel, found " +
                          sections::hexBytes(data.first(std::min<std::size_t>(data.size(), 16))));
    const std::uint32_t overall = support::loadLE32(data, 16);
    const std::size_t room = data.size() - (16 + 4 + 16);
    if (overall < 1 || overall > room)
        throw FormatError("declares " + num(overall) + " bytes, expected 1 to the " + num(room) + " of the section");
    const std::size_t dataEnd = 20 + std::size_t{overall};
    if (!std::equal(kPreviewEnd.begin(), kPreviewEnd.end(), data.begin() + static_cast<std::ptrdiff_t>(dataEnd)))
        throw FormatError("expected its end sentinel at byte " + num(dataEnd));
    const std::size_t count = data[20];
    if (1 + kEntrySize * count > overall)
        throw FormatError(num(count) + " entries do not fit its " + num(overall) + " bytes");
    std::vector<std::uint8_t> image(data.begin(), data.begin() + static_cast<std::ptrdiff_t>(dataEnd + 16));
    for (std::size_t i = 0; i < count; ++i) {
        const std::size_t entry = 21 + kEntrySize * i;
        const std::uint8_t code = image[entry];
        const std::uint32_t address = support::loadLE32(image, entry + 1);
        const std::uint32_t size = support::loadLE32(image, entry + 5);
        if (!isImageCode(code))
            throw FormatError("entry " + num(i) + " has code " + num(code) +
                              ", expected 1 (header), 2 (BMP), 3 (WMF) or 6 (PNG)");
        if (size == 0) continue;
        const std::uint64_t start = address - base;
        if (address < base || start < 20 || start > dataEnd || size > dataEnd - start)
            throw FormatError("entry " + num(i) + ": " + num(size) + " bytes at address " + num(address) +
                              " lie outside the preview at " + num(base));
        support::storeLE32(image, entry + 1, static_cast<std::uint32_t>(start));
    }
    return image;
}

void rebasePreview(std::vector<std::uint8_t>& data, std::uint32_t oldBase, std::uint32_t newBase) {
    if (oldBase == newBase || data.size() < 21 || !std::equal(kPreviewStart.begin(), kPreviewStart.end(), data.begin()))
        return;
    const std::size_t count = data[20];
    if (data.size() < 21 + kEntrySize * count) return;
    for (std::size_t i = 0; i < count; ++i)
        if (!isImageCode(data[21 + kEntrySize * i])) return;
    for (std::size_t i = 0; i < count; ++i) {
        const std::size_t at = 21 + kEntrySize * i + 1;
        const std::uint32_t address = support::loadLE32(data, at);
        if (address >= oldBase) support::storeLE32(data, at, address - oldBase + newBase);
    }
}

}  // namespace dwg
