#pragma once
// The drawing preview as the containers store it (ODA §14.2): a start
// sentinel, the overall size, a count of entries (code, address, size), the
// images, an end sentinel. The entries name file addresses, so a preview
// that moves within a file, or into another file, has them rebased.
//
// Besides the document's codes 1 (header data), 2 (BMP) and 3 (WMF),
// AutoCAD 2013 and later write code 6 for a PNG image. AutoCAD's previews
// hold two entries, the header data (80 zero bytes in every file seen) and
// the picture: up to 2010 a bitmap without file header, 8 bits per pixel,
// a colour table of 256 entries, rows bottom-up, uncompressed; from 2013 a
// PNG of 8-bit palette indices whose palette is the same 256 colours (the
// background at index 0, a 6 x 6 x 6 colour cube from 10, a grey ramp from
// 226). AutoCAD 2018 leaves the picture out of some files.

#include <cstdint>
#include <functional>
#include <span>
#include <vector>

namespace dwg {

// The preview from its start sentinel through its end sentinel, with the
// entries' file addresses made relative to the start sentinel, which lies at
// `base` in the file. FormatError where it does not parse.
std::vector<std::uint8_t> relativePreview(std::span<const std::uint8_t> data, std::uint64_t base);

// The preview in the form of AutoCAD 2004 to 2010, which know no PNG entry:
// `preview` (as relativePreview gives it) with every PNG entry replaced by
// a BMP entry (code 2) of `pngToDib`'s bitmap of its bytes (information
// header, colour table and rows, without a file header), the other entries
// kept with their bytes, in the same order, their images laid out one after
// another behind the entry list and addressed relative to the start
// sentinel. An entry whose PNG `pngToDib` refuses (any std::exception) is
// left out. An empty preview stays empty; FormatError where the preview
// does not parse. The converter is injected: the engine decodes no images.
std::vector<std::uint8_t> previewWithBitmaps(
    std::span<const std::uint8_t> preview,
    const std::function<std::vector<std::uint8_t>(std::span<const std::uint8_t>)>& pngToDib);

// The entries' addresses moved from `oldBase` to `newBase`. Data that does
// not parse as a preview is left alone.
void rebasePreview(std::vector<std::uint8_t>& data, std::uint32_t oldBase, std::uint32_t newBase);

}  // namespace dwg
