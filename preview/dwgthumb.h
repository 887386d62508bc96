#pragma once
// The drawing preview: the bitmap a drawing program stored inside a DWG file
// when it last saved the drawing, read straight from the file and scaled into
// the preview area, or a placeholder when there is no usable preview.

#include "preview/picture.h"

#include <cstdint>
#include <filesystem>
#include <vector>

namespace preview {

struct DwgThumbnail {
    std::vector<std::uint8_t> bmp;   // a complete BMP file image; empty unless a preview was found
    bool versionAccepted = false;    // the file starts with one of the releases read here
    bool unavailable = false;        // the image block or the preview in it is damaged
};

// Reads the preview of the drawing at `path`: releases AC1012 to AC1032. An
// entry list of one or two entries takes the last one whatever its code; a
// longer (or empty) list must start with the sentinel and gives its first
// bitmap (code 2) or PNG (code 6) entry. Never throws.
DwgThumbnail LoadDwgThumbnail(const std::filesystem::path& path);

// A rectangle in inclusive pixel coordinates.
struct Rect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
};

// The largest rectangle with the proportions of `source` inside `target`,
// centred on the axis where room is left. Not clamped: floating-point error
// can make it one pixel larger than the target.
Rect FitRect(const Rect& target, const Rect& source);

// Draws the preview of the drawing at `path` into `target` (sized by the
// caller): fitted, centred and resampled with Lanczos3 on white, or the
// placeholder (grey with both diagonals in black) when the drawing has no
// usable preview. Never throws.
void DrawDwgThumbnail(const std::filesystem::path& path, Picture& target);

// Grey 128 with a black line from corner to corner both ways.
void drawPlaceholder(Picture& target);

}  // namespace preview
