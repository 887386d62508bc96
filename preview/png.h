#pragma once
// Decoding of the PNG previews that drawings from release 2013 on store.

#include "preview/picture.h"

#include <cstdint>
#include <span>

namespace preview {

// True when `data` starts with the PNG signature.
bool isPng(std::span<const std::uint8_t> data);

// A PNG image (RFC 2083): IHDR, PLTE and IDAT chunks, chunk CRCs checked, the
// five row filters; grey and palette images at 1, 2, 4 and 8 bits, grey with
// alpha, RGB and RGBA at 8 and 16 bits (16-bit samples keep their high byte).
// Alpha is blended onto white, the colour the preview is drawn on. Interlaced
// images are refused. Throws ImageError.
Picture decodePng(std::span<const std::uint8_t> data);

}  // namespace preview
