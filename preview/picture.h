#pragma once
// A 24-bit picture: the form in which the preview holds a drawing's stored
// bitmap and the scaled result. Pixels are three bytes in blue, green, red
// order, rows top to bottom without padding, so the stride is width * 3.

#include <cstddef>
#include <cstdint>
#include <vector>

namespace preview {

struct Picture {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> pixels;   // B,G,R per pixel, rows top to bottom

    static constexpr int bytesPerPixel = 3;

    std::size_t stride() const { return static_cast<std::size_t>(width) * bytesPerPixel; }
    std::uint8_t* row(int y) { return pixels.data() + static_cast<std::size_t>(y) * stride(); }
    const std::uint8_t* row(int y) const { return pixels.data() + static_cast<std::size_t>(y) * stride(); }

    // A w x h picture of black pixels (empty when either side is 0 or less).
    static Picture blank(int w, int h)
    {
        Picture p;
        if (w > 0 && h > 0) {
            p.width = w;
            p.height = h;
            p.pixels.assign(static_cast<std::size_t>(w) * static_cast<std::size_t>(h) * bytesPerPixel, 0);
        }
        return p;
    }
};

}  // namespace preview
