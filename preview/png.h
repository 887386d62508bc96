#pragma once
// Decoding of the PNG previews that drawings from release 2013 on store,
// and their conversion to the bitmaps of earlier releases.

#include "preview/picture.h"

#include <cstdint>
#include <span>
#include <vector>

namespace preview {

// True when `data` starts with the PNG signature.
bool isPng(std::span<const std::uint8_t> data);

// A PNG image (RFC 2083): IHDR, PLTE and IDAT chunks, chunk CRCs checked, the
// five row filters; grey and palette images at 1, 2, 4 and 8 bits, grey with
// alpha, RGB and RGBA at 8 and 16 bits (16-bit samples keep their high byte).
// Alpha is blended onto white, the colour the preview is drawn on. Interlaced
// images are refused. Throws ImageError.
Picture decodePng(std::span<const std::uint8_t> data);

// The picture of a PNG as the bitmap that AutoCAD 2004 to 2010 store in a
// drawing's preview (a BMP entry, code 2): information header, colour
// table and rows bottom-up, without a file header. A palette image keeps
// its palette and indices at 8 bits per pixel (encodeIndexedDib): AutoCAD's
// PNG previews are such images over the 256 colours of its bitmaps, and the
// bitmap of one differs from AutoCAD's own bitmap of the same picture only
// in the table's unused fourth bytes. Other images take 24 bits
// (encodeDib). With `maxSide`, a picture larger than that a side keeps
// every k-th pixel of every k-th row, k the least that brings it within
// (AutoCAD 2004's own previews are some 180 pixels wide; 2018's PNGs 852).
// Throws ImageError as decodePng.
std::vector<std::uint8_t> dibFromPng(std::span<const std::uint8_t> png, int maxSide = 0);

}  // namespace preview
