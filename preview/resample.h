#pragma once
// Scaling of a picture to another size with a chosen reconstruction filter:
// two separable passes (rows, then columns) over precomputed contributor
// lists. The preview scales a drawing's stored bitmap with "Lanczos3".

#include "preview/picture.h"

#include <array>
#include <cstdint>
#include <string_view>
#include <vector>

namespace preview {

// A weight for a distance x in source pixels (scaled when shrinking); 0 beyond
// the filter's support.
using FilterFunction = float (*)(float x);

float boxFilter(float x);        // 1 on (-0.5, 0.5]: x = 0.5 counts, x = -0.5 does not
float triangleFilter(float x);
float hermiteFilter(float x);
float bellFilter(float x);
float bSplineFilter(float x);
float lanczos3Filter(float x);   // sinc(x) sinc(x / 3), sinc(0) = 1
float mitchellFilter(float x);   // the cubic with B = C = 1/3

struct FilterEntry {
    std::string_view name;
    FilterFunction function;
    float support;               // half-width beyond which the function is 0
};

inline constexpr std::array<FilterEntry, 7> FilterTable{{
    {"Box", boxFilter, 0.5f},
    {"Triangle", triangleFilter, 1.0f},
    {"Hermite", hermiteFilter, 1.0f},
    {"Bell", bellFilter, 1.5f},
    {"B-Spline", bSplineFilter, 2.0f},
    {"Lanczos3", lanczos3Filter, 3.0f},
    {"Mitchell", mitchellFilter, 2.0f},
}};

// The entry of that exact name, or nullptr.
const FilterEntry* findFilter(std::string_view name);

// One source pixel's share in a destination pixel.
struct Contributor {
    std::int32_t index;          // source pixel, already brought into range
    float weight;
};

// A source pixel index j brought into 0 .. size - 1 by mirroring: the low edge
// mirrors about pixel 0 (-1 gives 1), the high edge about the border (size
// gives size - 1). An index still outside after one mirroring, which happens
// when the source is smaller than the filter's reach, is mirrored again and
// again; the pattern repeats every 2 size - 1 pixels. size >= 1.
std::int32_t mirrorIndex(std::int64_t j, std::int32_t size);

// The contributor lists of every destination pixel along one axis, in
// increasing order of the unmirrored source index; weights of exactly 0 are
// left out and the weights are not normalised. The scale is
// (destinationSize - 1) / (sourceSize - 1), or destinationSize / sourceSize
// when the source is one pixel. A destination of one pixel from a larger
// source would have the scale 0; it takes destinationSize / sourceSize
// instead and is centred on the middle of the source, so that it filters the
// whole source rather than one edge. sourceSize >= 1.
std::vector<std::vector<Contributor>> contributorLists(std::int32_t sourceSize,
                                                       std::int32_t destinationSize,
                                                       FilterFunction filter, float support);

// Scales `source` to the width and height the caller has set in
// `destination` and overwrites the destination's pixels (resized to fit).
// Channel sums above 255 or below 0 are clamped, others rounded half to even.
// Throws std::runtime_error("Source bitmap too small") when the source is
// less than one pixel wide or high, leaving the destination as it was;
// std::invalid_argument when a size is negative or the source's pixels do not
// match its size. A destination with no area gets no pixels.
void ResampleBitmap(const Picture& source, Picture& destination, FilterFunction filter,
                    float support);

}  // namespace preview
