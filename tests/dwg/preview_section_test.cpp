// The preview in the form of releases that know no PNG entry: a preview
// made by hand, and those of the samples, whose pictures a stand-in
// converter replaces (the engine decodes no images; preview/ has the real
// converter and its tests).

#include "dwg/container/preview_section.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <stdexcept>
#include <string>
#include <vector>

#include "dwg/container/dwg_file.h"
#include "dwg/container/r2004.h"
#include "dwg/container/sentinels.h"
#include "dwg/errors.h"
#include "test_support.h"

namespace dwg {
namespace {

using Bytes = std::vector<std::uint8_t>;
using test::rl;

// The preview's sentinels around `inner`.
Bytes framed(const Bytes& inner) {
    Bytes out(16 + inner.size() + 16);
    std::copy(kPreviewStart.begin(), kPreviewStart.end(), out.begin());
    std::copy(inner.begin(), inner.end(), out.begin() + 16);
    std::copy(kPreviewEnd.begin(), kPreviewEnd.end(), out.end() - 16);
    return out;
}

// "DIB" and the PNG's size for a PNG (by its first byte); anything else is
// refused.
Bytes standIn(std::span<const std::uint8_t> png) {
    if (png.empty() || png[0] != 0x89) throw std::runtime_error("not a PNG");
    return {'D', 'I', 'B', static_cast<std::uint8_t>(png.size())};
}

TEST(PreviewSection, PngEntriesBecomeBitmapsAndTheRestIsKept) {
    // Four entries whose images lie in another order than the entries: a
    // metafile at 57, a PNG at 59, a damaged PNG at 62, the header data at 65.
    const Bytes input = framed(test::hexToBytes(
        "31 00 00 00 04"
        "01 41 00 00 00 04 00 00 00"
        "06 3B 00 00 00 03 00 00 00"
        "03 39 00 00 00 02 00 00 00"
        "06 3E 00 00 00 03 00 00 00"
        "01 02  89 50 4E  62 61 64  48 44 52 21"));
    // Three entries, the header data, the bitmap and the metafile behind
    // them in entry order from 48 on; the damaged PNG is gone.
    const Bytes expected = framed(test::hexToBytes(
        "26 00 00 00 03"
        "01 30 00 00 00 04 00 00 00"
        "02 34 00 00 00 04 00 00 00"
        "03 38 00 00 00 02 00 00 00"
        "48 44 52 21  44 49 42 03  01 02"));
    EXPECT_EQ(previewWithBitmaps(input, standIn), expected);

    EXPECT_TRUE(previewWithBitmaps({}, standIn).empty());
    Bytes damaged = input;
    damaged[5] ^= 0x01;
    EXPECT_THROW(previewWithBitmaps(damaged, standIn), FormatError);
}

// A sample's preview with addresses relative to its start, as a save in
// another release takes it.
Bytes previewOf(const DwgFile& file) {
    if (const auto* layout = dynamic_cast<const R2004Layout*>(file.layout.get()))
        if (const R2004Section* section = layout->find("AcDb:Preview"))
            return relativePreview(section->data, rl(layout->fileHeader, 0x0D));
    return file.previewImage;
}

// AutoCAD lays its previews out as the conversion does: those without a
// PNG come back unchanged; those with one keep their header data and get
// the bitmap in the PNG's place.
TEST(PreviewSection, PreviewsOfTheSamples) {
    int pictures = 0;
    for (const std::string& name : test::samplesFrom2004()) {
        if (name.starts_with("foreign/")) continue;  // previews that do not parse
        SCOPED_TRACE(name);
        const Bytes preview = previewOf(readDwgFile(*test::loadSample(name)));
        ASSERT_GE(preview.size(), 21U + 9);
        const bool png = preview[20] >= 2 && preview[30] == 6;
        const Bytes converted = previewWithBitmaps(preview, standIn);
        if (!png) {
            EXPECT_EQ(converted, preview);
            continue;
        }
        // The header data (code 1, 80 bytes at 39), then the PNG at 119.
        ASSERT_EQ(preview[20], 2);
        ASSERT_EQ(rl(preview, 31), 119U);
        const std::uint32_t pngSize = rl(preview, 35);
        EXPECT_EQ(converted.size(), 119 + 4 + 16U);
        EXPECT_EQ(rl(converted, 16), converted.size() - 36);
        EXPECT_EQ(Bytes(converted.begin() + 20, converted.begin() + 30),
                  Bytes(preview.begin() + 20, preview.begin() + 30));
        EXPECT_EQ(Bytes(converted.begin() + 39, converted.begin() + 119),
                  Bytes(preview.begin() + 39, preview.begin() + 119));
        EXPECT_EQ(converted[30], 2);
        EXPECT_EQ(rl(converted, 31), 119U);
        EXPECT_EQ(rl(converted, 35), 4U);
        EXPECT_EQ(Bytes(converted.begin() + 119, converted.begin() + 123),
                  (Bytes{'D', 'I', 'B', static_cast<std::uint8_t>(pngSize)}));
        EXPECT_EQ(relativePreview(converted, 0), converted);
        ++pictures;
    }
    if (pictures == 0) GTEST_SKIP() << "no drawings with PNG previews in " << CORVELIN_SAMPLES_DIR;
}

}  // namespace
}  // namespace dwg
