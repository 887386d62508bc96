#include "dwg/container/preview_section.h"

#include <algorithm>
#include <cstdint>
#include <stdexcept>
#include <string>

#include "dwg/container/sections.h"
#include "dwg/container/sentinels.h"
#include "dwg/errors.h"
#include "support/little_endian.h"

namespace dwg {
namespace {

constexpr std::size_t kEntrySize = 9;

std::string num(std::uint64_t value) { return std::to_string(value); }

constexpr std::uint8_t kBitmapCode = 2;
constexpr std::uint8_t kPngCode = 6;

bool isImageCode(std::uint8_t code) { return (code >= 1 && code <= 3) || code == kPngCode; }

// One entry of a preview, its address relative to the start sentinel.
struct PreviewEntry {
    std::uint8_t code = 0;
    std::uint32_t start = 0;
    std::uint32_t size = 0;
};

struct ParsedPreview {
    std::size_t end = 0;  // just past the end sentinel
    std::vector<PreviewEntry> entries;
};

// The structure of a preview whose start sentinel lies at `base` in the
// file; FormatError where it does not parse.
ParsedPreview parsePreview(std::span<const std::uint8_t> data, std::uint64_t base) {
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
    ParsedPreview parsed;
    parsed.end = dataEnd + 16;
    for (std::size_t i = 0; i < count; ++i) {
        const std::size_t at = 21 + kEntrySize * i;
        PreviewEntry entry{data[at], support::loadLE32(data, at + 1), support::loadLE32(data, at + 5)};
        if (!isImageCode(entry.code))
            throw FormatError("entry " + num(i) + " has code " + num(entry.code) +
                              ", expected 1 (header), 2 (BMP), 3 (WMF) or 6 (PNG)");
        if (entry.size != 0) {
            const std::uint64_t start = entry.start - base;
            if (entry.start < base || start < 20 || start > dataEnd || entry.size > dataEnd - start)
                throw FormatError("entry " + num(i) + ": " + num(entry.size) + " bytes at address " +
                                  num(entry.start) + " lie outside the preview at " + num(base));
            entry.start = static_cast<std::uint32_t>(start);
        }
        parsed.entries.push_back(entry);
    }
    return parsed;
}

}  // namespace

std::vector<std::uint8_t> relativePreview(std::span<const std::uint8_t> data, std::uint64_t base) {
    const ParsedPreview parsed = parsePreview(data, base);
    std::vector<std::uint8_t> image(data.begin(), data.begin() + static_cast<std::ptrdiff_t>(parsed.end));
    for (std::size_t i = 0; i < parsed.entries.size(); ++i)
        if (parsed.entries[i].size != 0) support::storeLE32(image, 21 + kEntrySize * i + 1, parsed.entries[i].start);
    return image;
}

std::vector<std::uint8_t> previewWithBitmaps(
    std::span<const std::uint8_t> preview,
    const std::function<std::vector<std::uint8_t>(std::span<const std::uint8_t>)>& pngToDib) {
    if (preview.empty()) return {};
    const ParsedPreview parsed = parsePreview(preview, 0);
    struct Image {
        std::uint8_t code;
        std::vector<std::uint8_t> bytes;
    };
    std::vector<Image> images;
    for (const PreviewEntry& entry : parsed.entries) {
        const auto bytes = preview.subspan(entry.size == 0 ? 0 : entry.start, entry.size);
        if (entry.code != kPngCode) {
            images.push_back({entry.code, std::vector<std::uint8_t>(bytes.begin(), bytes.end())});
            continue;
        }
        try {
            images.push_back({kBitmapCode, pngToDib(bytes)});
        } catch (const std::exception&) {
            // A picture that cannot be converted is no preview for the
            // releases that know no PNG: the entry goes.
        }
    }
    // The entries, then their images in the same order, as AutoCAD lays
    // them out.
    std::uint64_t overall = 1 + kEntrySize * images.size();
    for (const Image& image : images) overall += image.bytes.size();
    if (overall > UINT32_MAX) throw std::invalid_argument("preview: the bitmaps exceed 4 GB");
    std::vector<std::uint8_t> out(kPreviewStart.begin(), kPreviewStart.end());
    support::appendLE32(out, static_cast<std::uint32_t>(overall));
    out.push_back(static_cast<std::uint8_t>(images.size()));
    std::uint32_t at = static_cast<std::uint32_t>(out.size() + kEntrySize * images.size());
    for (const Image& image : images) {
        out.push_back(image.code);
        support::appendLE32(out, at);
        support::appendLE32(out, static_cast<std::uint32_t>(image.bytes.size()));
        at += static_cast<std::uint32_t>(image.bytes.size());
    }
    for (const Image& image : images) out.insert(out.end(), image.bytes.begin(), image.bytes.end());
    out.insert(out.end(), kPreviewEnd.begin(), kPreviewEnd.end());
    return out;
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
