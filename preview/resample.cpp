#include "preview/resample.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <numbers>
#include <stdexcept>
#include <utility>

namespace preview {
namespace {

float sinc(float x)
{
    if (x == 0.0f)
        return 1.0f;
    const float px = std::numbers::pi_v<float> * x;
    return std::sin(px) / px;
}

// Sums above 255 or below 0 must not wrap; a NaN from an odd custom filter
// counts as below. Rounding follows the default mode: halves to even.
std::uint8_t toByte(float sum)
{
    if (sum > 255.0f)
        return 255;
    if (!(sum >= 0.0f))
        return 0;
    return static_cast<std::uint8_t>(std::lrint(sum));
}

std::size_t byteCount(int width, int height)
{
    return static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * Picture::bytesPerPixel;
}

}  // namespace

float boxFilter(float x)
{
    return (x > -0.5f && x <= 0.5f) ? 1.0f : 0.0f;
}

float triangleFilter(float x)
{
    const float a = std::fabs(x);
    return a < 1.0f ? 1.0f - a : 0.0f;
}

float hermiteFilter(float x)
{
    const float a = std::fabs(x);
    return a < 1.0f ? (2.0f * a - 3.0f) * (a * a) + 1.0f : 0.0f;
}

float bellFilter(float x)
{
    const float a = std::fabs(x);
    if (a < 0.5f)
        return 0.75f - a * a;
    if (a < 1.5f) {
        const float t = a - 1.5f;
        return 0.5f * (t * t);
    }
    return 0.0f;
}

float bSplineFilter(float x)
{
    const float a = std::fabs(x);
    if (a < 1.0f) {
        const float a2 = a * a;
        return 0.5f * (a2 * a) - a2 + 2.0f / 3.0f;
    }
    if (a < 2.0f) {
        const float t = 2.0f - a;
        return (t * t * t) / 6.0f;
    }
    return 0.0f;
}

float lanczos3Filter(float x)
{
    const float a = std::fabs(x);
    return a < 3.0f ? sinc(a) * sinc(a / 3.0f) : 0.0f;
}

float mitchellFilter(float x)
{
    const float a = std::fabs(x);
    const float a2 = a * a;
    const float a3 = a2 * a;
    if (a < 1.0f)
        return (7.0f * a3 - 12.0f * a2 + 16.0f / 3.0f) / 6.0f;
    if (a < 2.0f)
        return (-(7.0f / 3.0f) * a3 + 12.0f * a2 - 20.0f * a + 32.0f / 3.0f) / 6.0f;
    return 0.0f;
}

const FilterEntry* findFilter(std::string_view name)
{
    for (const FilterEntry& entry : FilterTable)
        if (entry.name == name)
            return &entry;
    return nullptr;
}

std::int32_t mirrorIndex(std::int64_t j, std::int32_t size)
{
    // Mirroring about pixel 0 and then about the high border is a shift by
    // 2 size - 1, so repeated mirroring reduces to a remainder.
    const std::int64_t period = 2 * static_cast<std::int64_t>(size) - 1;
    std::int64_t m = j % period;
    if (m < 0)
        m += period;
    return static_cast<std::int32_t>(m < size ? m : period - m);
}

std::vector<std::vector<Contributor>> contributorLists(std::int32_t sourceSize,
                                                       std::int32_t destinationSize,
                                                       FilterFunction filter, float support)
{
    std::vector<std::vector<Contributor>> lists;
    if (destinationSize <= 0)
        return lists;
    if (sourceSize < 1)
        throw std::invalid_argument("Source size must be at least 1");
    if (filter == nullptr)
        throw std::invalid_argument("No filter function given");
    if (!std::isfinite(support))
        throw std::invalid_argument("Filter support must be finite");

    // With more than one pixel on both sides the first and last destination
    // pixels land exactly on the first and last source pixels.
    float scale = 0.0f;
    bool centred = false;
    if (sourceSize == 1) {
        scale = static_cast<float>(destinationSize) / static_cast<float>(sourceSize);
    } else if (destinationSize == 1) {
        scale = static_cast<float>(destinationSize) / static_cast<float>(sourceSize);
        centred = true;
    } else {
        scale = static_cast<float>(destinationSize - 1) / static_cast<float>(sourceSize - 1);
    }
    const bool shrinking = scale < 1.0f;
    const float w = shrinking ? support / scale : support;
    const float f = shrinking ? 1.0f / scale : 1.0f;
    const float capacity = std::trunc(2.0f * w + 1.0f);

    lists.resize(static_cast<std::size_t>(destinationSize));
    for (std::int32_t i = 0; i < destinationSize; ++i) {
        const float center =
            centred ? static_cast<float>(sourceSize - 1) / 2.0f : static_cast<float>(i) / scale;
        const auto first = static_cast<std::int64_t>(std::floor(center - w));
        const auto last = static_cast<std::int64_t>(std::ceil(center + w));
        std::vector<Contributor>& list = lists[static_cast<std::size_t>(i)];
        // Room for the usual count; rounding at the ends may need one more.
        if (capacity > 0.0f)
            list.reserve(static_cast<std::size_t>(capacity));
        for (std::int64_t j = first; j <= last; ++j) {
            const float distance = center - static_cast<float>(j);
            const float weight = shrinking ? filter(distance / f) / f : filter(distance);
            if (weight == 0.0f)
                continue;
            list.push_back({mirrorIndex(j, sourceSize), weight});
        }
    }
    return lists;
}

void ResampleBitmap(const Picture& source, Picture& destination, FilterFunction filter,
                    float support)
{
    const int sw = source.width;
    const int sh = source.height;
    const int dw = destination.width;
    const int dh = destination.height;
    if (sw < 1 || sh < 1)
        throw std::runtime_error("Source bitmap too small");
    if (dw < 0 || dh < 0)
        throw std::invalid_argument("Destination size must not be negative");
    if (source.pixels.size() != byteCount(sw, sh))
        throw std::invalid_argument("Source pixels do not match its size");
    if (dw == 0 || dh == 0) {
        destination.pixels.clear();
        return;
    }

    // Rows first: sh rows of dw pixels. Rows are addressed through the
    // pictures' own strides, so pictures one pixel high or wide work like any
    // other.
    const std::size_t workStride = static_cast<std::size_t>(dw) * Picture::bytesPerPixel;
    std::vector<std::uint8_t> work(byteCount(dw, sh));
    {
        const auto columns = contributorLists(sw, dw, filter, support);
        for (int k = 0; k < sh; ++k) {
            const std::uint8_t* in = source.row(k);
            std::uint8_t* out = work.data() + static_cast<std::size_t>(k) * workStride;
            for (const std::vector<Contributor>& list : columns) {
                float b = 0.0f, g = 0.0f, r = 0.0f;
                for (const Contributor& c : list) {
                    const std::uint8_t* p = in + static_cast<std::size_t>(c.index) * Picture::bytesPerPixel;
                    b += c.weight * static_cast<float>(p[0]);
                    g += c.weight * static_cast<float>(p[1]);
                    r += c.weight * static_cast<float>(p[2]);
                }
                *out++ = toByte(b);
                *out++ = toByte(g);
                *out++ = toByte(r);
            }
        }
    }

    // Then the columns. Each destination row accumulates whole work rows in
    // the order of its contributors, which gives every channel the same sum,
    // added in the same order, as walking down one column at a time.
    std::vector<std::uint8_t> result(byteCount(dw, dh));
    {
        const auto rows = contributorLists(sh, dh, filter, support);
        std::vector<float> sums(workStride);
        for (int y = 0; y < dh; ++y) {
            std::fill(sums.begin(), sums.end(), 0.0f);
            for (const Contributor& c : rows[static_cast<std::size_t>(y)]) {
                const std::uint8_t* in = work.data() + static_cast<std::size_t>(c.index) * workStride;
                for (std::size_t x = 0; x < workStride; ++x)
                    sums[x] += c.weight * static_cast<float>(in[x]);
            }
            std::uint8_t* out = result.data() + static_cast<std::size_t>(y) * workStride;
            for (std::size_t x = 0; x < workStride; ++x)
                out[x] = toByte(sums[x]);
        }
    }
    destination.pixels = std::move(result);
}

}  // namespace preview
