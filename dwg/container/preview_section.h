#pragma once
// The drawing preview as the containers store it (ODA §14.2): a start
// sentinel, the overall size, a count of entries (code, address, size), the
// images, an end sentinel. The entries name file addresses, so a preview
// that moves within a file, or into another file, has them rebased.
//
// Besides the document's codes 1 (header data), 2 (BMP) and 3 (WMF),
// AutoCAD 2013 and later write code 6 for a PNG image.

#include <cstdint>
#include <span>
#include <vector>

namespace dwg {

// The preview from its start sentinel through its end sentinel, with the
// entries' file addresses made relative to the start sentinel, which lies at
// `base` in the file. FormatError where it does not parse.
std::vector<std::uint8_t> relativePreview(std::span<const std::uint8_t> data, std::uint64_t base);

// The entries' addresses moved from `oldBase` to `newBase`. Data that does
// not parse as a preview is left alone.
void rebasePreview(std::vector<std::uint8_t>& data, std::uint32_t oldBase, std::uint32_t newBase);

}  // namespace dwg
